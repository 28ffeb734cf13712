#include "system/tree_removal.h"

#include <algorithm>

namespace tenvik {
namespace {

// The Windows values, spelled out so that the decisions build anywhere.
constexpr std::uint32_t kAttributeReadOnly = 0x1;
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeReparsePoint = 0x400;

constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorLockViolation = 33;
constexpr std::uint32_t kErrorDirNotEmpty = 145;

constexpr std::uint32_t kFirstPauseMs = 2;
constexpr std::uint32_t kLongestPauseMs = 1000;
constexpr std::uint32_t kPauseBudgetMs = 5000;

}  // namespace

RemovalStep removalStepFor(std::uint32_t attributes) {
  if (attributes & kAttributeReparsePoint) return RemovalStep::removeLink;
  if (attributes & kAttributeDirectory) return RemovalStep::descend;
  return RemovalStep::deleteFile;
}

bool isReadOnly(std::uint32_t attributes) { return (attributes & kAttributeReadOnly) != 0; }

bool removalMayClearUp(std::uint32_t errorCode) {
  return errorCode == kErrorAccessDenied || errorCode == kErrorSharingViolation ||
         errorCode == kErrorLockViolation || errorCode == kErrorDirNotEmpty;
}

std::uint32_t removalPauseMs(int attempt) {
  if (attempt < 1) return 0;
  std::uint32_t spent = 0;
  std::uint32_t pause = kFirstPauseMs;
  for (int i = 1; i < attempt; ++i) {
    spent += pause;
    if (spent >= kPauseBudgetMs) return 0;
    pause = std::min(kLongestPauseMs, pause + std::max<std::uint32_t>(1, pause / 4));
  }
  return std::min(pause, kPauseBudgetMs - spent);
}

}  // namespace tenvik
