#include "progress_line.h"

#include <cstdio>

namespace tenvik::packer {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto firstDelay = std::chrono::milliseconds(300);
constexpr auto interval = std::chrono::milliseconds(100);

std::string megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

}  // namespace

ProgressLine::ProgressLine(std::ostream& err, bool enabled)
    : err_(err), enabled_(enabled), start_(Clock::now()), last_(start_) {}

void ProgressLine::update(const PackProgress& progress) {
  if (!enabled_) return;
  const auto now = Clock::now();
  if (now - start_ < firstDelay || (drawn_ && now - last_ < interval)) return;
  last_ = now;
  drawn_ = true;
  // "\r" and a clear to the end of the line: a shorter line leaves nothing behind.
  err_ << "\rtenvik-pack: packing " << progress.filesDone << "/" << progress.files << " files, "
       << megabytes(progress.bytesDone) << "/" << megabytes(progress.bytes) << " MiB\x1b[K" << std::flush;
}

void ProgressLine::finish() {
  if (!drawn_) return;
  err_ << "\r\x1b[K" << std::flush;
  drawn_ = false;
}

}  // namespace tenvik::packer
