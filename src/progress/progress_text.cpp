#include "progress/progress_text.h"

#include "system/number_text.h"

namespace tenvik {
namespace {

// value / unit with one decimal, cut.
std::wstring tenths(uint64_t value, uint64_t unit) {
  const uint64_t scaled = value / unit * 10 + value % unit * 10 / unit;
  return decimalText(scaled / 10) + L"." + decimalText(scaled % 10);
}

std::wstring percentText(int percent) { return decimalText(static_cast<uint64_t>(percent)) + L"%"; }

}  // namespace

int wholePercent(uint64_t done, uint64_t total) {
  if (total == 0) return 0;
  if (done >= total) return 100;
  // Below 2^56 the product cannot overflow; above, both lose their low bits.
  while (total >= (uint64_t{1} << 56)) {
    total >>= 1;
    done >>= 1;
  }
  const uint64_t percent = done * 100 / total;
  return static_cast<int>(percent > 99 ? 99 : percent);
}

std::wstring byteCountText(uint64_t bytes) {
  constexpr uint64_t kKilo = 1024;
  constexpr uint64_t kMega = kKilo * 1024;
  constexpr uint64_t kGiga = kMega * 1024;
  if (bytes < kKilo) return decimalText(bytes) + (bytes == 1 ? L" byte" : L" bytes");
  if (bytes < kMega) return decimalText(bytes / kKilo) + L" KB";
  if (bytes < kGiga) return tenths(bytes, kMega) + L" MB";
  return tenths(bytes, kGiga) + L" GB";
}

std::wstring progressCaption(const std::wstring& product) { return product + L" Setup"; }

bool unpackingShows(uint64_t elapsedMs) { return elapsedMs >= kUnpackingShowsAfterMs; }

ProgressView progressView(const ProgressState& state) {
  ProgressView view;
  switch (state.stage) {
    case ProgressStage::waiting:
      view.heading = L"Waiting for another setup to finish";
      break;
    case ProgressStage::downloading:
      view.heading = L"Downloading " + state.subject;
      if (state.total == 0) {
        view.detail = byteCountText(state.done) + L" received";
      } else {
        view.marquee = false;
        view.percent = wholePercent(state.done, state.total);
        view.detail = byteCountText(state.done) + L" of " + byteCountText(state.total) + L" (" +
                      percentText(view.percent) + L")";
      }
      break;
    case ProgressStage::unpacking:
      view.heading = L"Unpacking the setup files";
      view.marquee = false;
      view.percent = wholePercent(state.done, state.total);
      view.detail = percentText(view.percent);
      break;
  }
  return view;
}

}  // namespace tenvik
