#pragma once
// What the progress window says and how its bar stands, for each stage of a
// run. Pure; the window itself (progress/progress_window.h) only puts it on screen.

#include <cstdint>
#include <string>


namespace tenvik {

enum class ProgressStage {
  waiting,      // for another run of the product, or another product's runtime installation
  downloading,  // a runtime installer
  unpacking,    // the package into the work directory
};

struct ProgressState {
  ProgressStage stage = ProgressStage::waiting;
  std::wstring subject;  // downloading: what comes, as downloadSubject (runtime/runtime_steps.h) names it
  uint64_t done = 0;     // bytes received or unpacked
  uint64_t total = 0;    // bytes due; 0: not known
};

struct ProgressView {
  std::wstring heading;
  std::wstring detail;  // empty: nothing to add
  bool marquee = true;  // the bar moves without a position: how far is not known
  int percent = 0;      // with !marquee: 0 to 100
};

// The bar's position and the texts for state. A download with a total has a
// percentage ("12.3 MB of 55.0 MB (22%)"); without one, the bytes so far
// and a marquee. Unpacking always knows its total; waiting knows nothing.
ProgressView progressView(const ProgressState& state);

// The window's caption: "<product> Setup".
std::wstring progressCaption(const std::wstring& product);

// done of total as a whole percentage, rounded down, so 100 means all of it;
// 0 when total is 0, and never above 100.
int wholePercent(uint64_t done, uint64_t total);

// A byte count for people: "512 bytes", "300 KB", "12.3 MB", "1.2 GB"; KB,
// MB and GB of 1024, cut (not rounded) to what is shown, so that a count
// only reads as the total once it is the total.
std::wstring byteCountText(uint64_t bytes);

// Unpacking that takes this long shows its progress; a shorter one shows
// nothing, not even a window that comes and goes.
inline constexpr uint64_t kUnpackingShowsAfterMs = 500;
bool unpackingShows(uint64_t elapsedMs);

}  // namespace tenvik
