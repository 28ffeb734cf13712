#include "system/tree_removal.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace tenvik {
namespace {

constexpr std::uint32_t kReadOnly = 0x1, kHidden = 0x2, kDirectory = 0x10, kArchive = 0x20, kReparse = 0x400;

TEST(TreeRemoval, ALinkIsRemovedAsALinkWhateverElseItsAttributesSay) {
  EXPECT_EQ(removalStepFor(kDirectory | kReparse), RemovalStep::removeLink);
  EXPECT_EQ(removalStepFor(kDirectory | kReparse | kReadOnly | kHidden), RemovalStep::removeLink);
  EXPECT_EQ(removalStepFor(kArchive | kReparse), RemovalStep::removeLink);
  EXPECT_EQ(removalStepFor(kDirectory), RemovalStep::descend);
  EXPECT_EQ(removalStepFor(kDirectory | kReadOnly), RemovalStep::descend);
  EXPECT_EQ(removalStepFor(kArchive), RemovalStep::deleteFile);
  EXPECT_EQ(removalStepFor(kReadOnly | kHidden), RemovalStep::deleteFile);
  EXPECT_EQ(removalStepFor(0), RemovalStep::deleteFile);
  EXPECT_TRUE(isReadOnly(kReadOnly | kArchive));
  EXPECT_FALSE(isReadOnly(kDirectory | kHidden | kReparse));
}

TEST(TreeRemoval, TheOpenedHandleDecidesAndALinkOnEitherSideIsNeverDescended) {
  struct Case {
    std::uint32_t listed;
    std::uint32_t opened;
    RemovalStep step;
  };
  const Case cases[] = {
      {kDirectory, kDirectory, RemovalStep::descend},
      {kDirectory | kReadOnly, kDirectory | kReadOnly, RemovalStep::descend},
      {kArchive, kArchive, RemovalStep::deleteFile},
      {kDirectory | kReparse, kDirectory | kReparse, RemovalStep::removeLink},
      {kArchive | kReparse, kArchive | kReparse, RemovalStep::removeLink},
      // Swapped between the listing and the open: the handle is what is acted on.
      {kDirectory, kArchive, RemovalStep::deleteFile},
      {kArchive, kDirectory, RemovalStep::descend},
      {kDirectory, kDirectory | kReparse, RemovalStep::removeLink},
      {kArchive, kArchive | kReparse, RemovalStep::removeLink},
      // Listed as a link, but the handle is something else (Wine opens the
      // target whatever it is told; or the link was swapped for its target).
      {kDirectory | kReparse, kDirectory, RemovalStep::leave},
      {kArchive | kReparse, kArchive, RemovalStep::leave},
      {kDirectory | kReparse, kArchive | kReadOnly, RemovalStep::leave},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(removalStepFor(c.listed, c.opened), c.step) << std::hex << c.listed << " " << c.opened;
  }
}

TEST(TreeRemoval, AnEntryGoneBeforeItWasOpenedIsNoFailure) {
  EXPECT_TRUE(removalFoundNothing(2));  // ERROR_FILE_NOT_FOUND
  for (std::uint32_t code : {0u, 3u, 5u, 32u, 123u}) EXPECT_FALSE(removalFoundNothing(code)) << code;
}

TEST(TreeRemoval, TheDeletionFormWeakensOnlyWhenThePlatformDoesNotUnderstandIt) {
  using Form = DeletionForm;
  // Not understood: an unknown class or flag (87), no POSIX semantics on this
  // file system (50), not implemented (1, Wine 8's answer in the native API).
  for (std::uint32_t code : {1u, 50u, 87u}) {
    EXPECT_EQ(weakerDeletionForm(Form::posixIgnoringReadOnly, code), Form::posix) << code;
    EXPECT_EQ(weakerDeletionForm(Form::posix, code), Form::classic) << code;
    EXPECT_EQ(weakerDeletionForm(Form::classic, code), std::nullopt) << code;
  }
  // About the entry: access denied, held, not empty, gone. No other form helps.
  for (std::uint32_t code : {0u, 2u, 5u, 32u, 145u}) {
    for (Form form : {Form::posixIgnoringReadOnly, Form::posix, Form::classic}) {
      EXPECT_EQ(weakerDeletionForm(form, code), std::nullopt) << code;
    }
  }
}

TEST(TreeRemoval, OnlyFailuresThatPassByThemselvesAreRetried) {
  for (std::uint32_t code : {5u, 32u, 33u, 145u}) EXPECT_TRUE(removalMayClearUp(code)) << code;
  // Not found, path not found, invalid name, not a directory, disk trouble.
  for (std::uint32_t code : {0u, 2u, 3u, 123u, 267u, 21u, 1117u}) EXPECT_FALSE(removalMayClearUp(code)) << code;
}

TEST(TreeRemoval, PausesStartShortGrowAndStopAtAboutFiveSeconds) {
  EXPECT_EQ(removalPauseMs(0), 0u);
  EXPECT_LE(removalPauseMs(1), 5u);
  std::uint32_t total = 0;
  std::uint32_t previous = 0;
  int attempt = 1;
  for (; removalPauseMs(attempt) != 0; ++attempt) {
    const std::uint32_t pause = removalPauseMs(attempt);
    EXPECT_LE(pause, 1000u) << attempt;
    if (total + pause < 5000) {
      EXPECT_GE(pause, previous) << attempt;
    }
    previous = pause;
    total += pause;
    ASSERT_LT(attempt, 100);
  }
  EXPECT_EQ(total, 5000u);
  // The tens of milliseconds a console host keeps the folder for are met
  // closely: no pause within the first 100 ms waited is longer than 30 ms.
  std::uint32_t waited = 0;
  for (int n = 1; waited < 100; ++n) {
    EXPECT_LE(removalPauseMs(n), 30u) << n;
    waited += removalPauseMs(n);
  }
  EXPECT_EQ(removalPauseMs(attempt + 1), 0u);
}

}  // namespace
}  // namespace tenvik
