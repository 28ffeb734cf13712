#include "system/tree_removal.h"

#include <algorithm>

namespace tenvik {
namespace {

// The Windows values, spelled out so that the decisions build anywhere.
constexpr std::uint32_t kAttributeReadOnly = 0x1;
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeReparsePoint = 0x400;

constexpr std::uint32_t kErrorInvalidFunction = 1;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorLockViolation = 33;
constexpr std::uint32_t kErrorNotSupported = 50;
constexpr std::uint32_t kErrorInvalidParameter = 87;
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

RemovalStep removalStepFor(std::uint32_t listedAttributes, std::uint32_t openedAttributes) {
  if (openedAttributes & kAttributeReparsePoint) return RemovalStep::removeLink;
  if (listedAttributes & kAttributeReparsePoint) return RemovalStep::leave;
  return removalStepFor(openedAttributes);
}

bool isReadOnly(std::uint32_t attributes) { return (attributes & kAttributeReadOnly) != 0; }

bool removalMayClearUp(std::uint32_t errorCode) {
  return errorCode == kErrorAccessDenied || errorCode == kErrorSharingViolation ||
         errorCode == kErrorLockViolation || errorCode == kErrorDirNotEmpty;
}

bool removalFoundNothing(std::uint32_t errorCode) { return errorCode == kErrorFileNotFound; }

std::optional<DeletionForm> weakerDeletionForm(DeletionForm refused, std::uint32_t errorCode) {
  // STATUS_INVALID_INFO_CLASS and STATUS_INVALID_PARAMETER arrive as 87,
  // STATUS_NOT_SUPPORTED as 50, STATUS_NOT_IMPLEMENTED as 1.
  const bool formNotUnderstood =
      errorCode == kErrorInvalidParameter || errorCode == kErrorNotSupported || errorCode == kErrorInvalidFunction;
  if (!formNotUnderstood) return std::nullopt;
  switch (refused) {
    case DeletionForm::posixIgnoringReadOnly:
      return DeletionForm::posix;
    case DeletionForm::posix:
      return DeletionForm::classic;
    case DeletionForm::classic:
      return std::nullopt;
  }
  return std::nullopt;
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
