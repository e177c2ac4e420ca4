#include "ftp/programme_progress.h"

#include <gtest/gtest.h>

#include <string>

namespace kestova {
namespace {

struct Texts {
  std::string size, elapsed, percentage, remaining, rate;
};

Texts TextsFor(uint64_t received, uint64_t titleSize, uint32_t elapsedMs) {
  ProgressTexts texts = FormatProgress(ComputeProgress(received, titleSize, elapsedMs));
  return {texts.size.CStr(), texts.elapsed.CStr(), texts.percentage.CStr(), texts.remaining.CStr(),
          texts.rate.CStr()};
}

TEST(ProgrammeProgress, WorkedExampleOfATwoGigabyteTitle) {
  // S = 1048576 units (2 GiB), T = 512 MiB, exactly 100000 ms since the start.
  ProgressFigures figures = ComputeProgress(536870912, 1048576, 100000);
  EXPECT_EQ(101u, figures.elapsedSeconds);
  EXPECT_EQ(5190u, figures.rateKiBPerSecond);
  EXPECT_EQ(303u, figures.remainingSeconds);
  Texts texts = TextsFor(536870912, 1048576, 100000);
  EXPECT_EQ("512/2048", texts.size);
  EXPECT_EQ("1:41", texts.elapsed);
  EXPECT_EQ("25.00", texts.percentage);
  EXPECT_EQ("5:03", texts.remaining);
  EXPECT_EQ("5190", texts.rate);
}

TEST(ProgrammeProgress, ElapsedSecondsAreAtLeastOneAndStepAtTheStatedMarks) {
  EXPECT_EQ(1u, ComputeProgress(0, 0, 0).elapsedSeconds);
  EXPECT_EQ(1u, ComputeProgress(0, 0, 998).elapsedSeconds);
  EXPECT_EQ(2u, ComputeProgress(0, 0, 999).elapsedSeconds);
  EXPECT_EQ(61u, ComputeProgress(0, 0, 59999).elapsedSeconds);
  EXPECT_EQ("1:01", TextsFor(0, 0, 59999).elapsed);
  // The largest tick difference does not wrap to 0.
  EXPECT_EQ(4294968u, ComputeProgress(0, 0, 0xFFFFFFFFu).elapsedSeconds);
}

TEST(ProgrammeProgress, MoreDataThanAnnouncedShowsNoTimeLeftAndOverAHundredPercent) {
  // 10 MiB announced (5120 units), 15 MiB received in 9.5 s.
  Texts texts = TextsFor(15 * 1048576ull, 5120, 9500);
  EXPECT_EQ("15/10", texts.size);
  EXPECT_EQ("0:00", texts.remaining);
  EXPECT_EQ("150.00", texts.percentage);
  EXPECT_EQ("1536", texts.rate);  // 15360 KiB / 10 s
}

TEST(ProgrammeProgress, UnknownTitleSizeShowsNoPercentage) {
  Texts texts = TextsFor(3 * 1048576ull, 0, 2000);
  EXPECT_EQ("3/0", texts.size);
  EXPECT_EQ("--.--", texts.percentage);
  EXPECT_EQ("0:00", texts.remaining);  // nothing expected, so nothing remains
  EXPECT_FALSE(ComputeProgress(3 * 1048576ull, 0, 2000).percentageKnown);
}

TEST(ProgrammeProgress, RateBelowOneKilobyteShowsUnknownRemainingTime) {
  // 500 bytes in 3 s of a 2 GiB title: R = 0, so M has no value.
  ProgressFigures figures = ComputeProgress(500, 1048576, 3000);
  EXPECT_EQ(0u, figures.rateKiBPerSecond);
  EXPECT_FALSE(figures.remainingKnown);
  Texts texts = TextsFor(500, 1048576, 3000);
  EXPECT_EQ("--:--", texts.remaining);
  EXPECT_EQ("0", texts.rate);
  EXPECT_EQ("0.00", texts.percentage);
  // Nothing received and nothing expected: nothing remains, whatever the rate.
  EXPECT_EQ("0:00", TextsFor(0, 0, 0).remaining);
}

TEST(ProgrammeProgress, CountsBeyondFourGigabytesAre64Bit) {
  const uint64_t received = 5ull * 1024 * 1024 * 1024 + 12345;  // 5 GiB and a bit
  const uint64_t titleSize = 6ull * 1024 * 1024 * 1024 / 2048;  // 6 GiB announced
  ProgressFigures figures = ComputeProgress(received, titleSize, 50000);
  EXPECT_EQ(5120u, figures.receivedMiB);
  EXPECT_EQ(6144u, figures.expectedMiB);
  EXPECT_EQ(5ull * 1024 * 1024 / 51, figures.rateKiBPerSecond);
  EXPECT_EQ(1024ull * 1024 / (5ull * 1024 * 1024 / 51), figures.remainingSeconds);
  EXPECT_EQ("5120/6144", TextsFor(received, titleSize, 50000).size);
  EXPECT_NEAR(83.33, figures.percentage, 0.01);
}

TEST(ProgrammeProgress, LongRemainingTimesKeepMinutesAboveSixty) {
  // 2 GiB announced, 1 MiB received in 99 s: R = 10 KiB/s, M = 2096128 / 10 s.
  Texts texts = TextsFor(1048576, 1048576, 99000);
  EXPECT_EQ("10", texts.rate);
  EXPECT_EQ("3493:32", texts.remaining);
}

}  // namespace
}  // namespace kestova
