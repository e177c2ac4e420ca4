#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/time.h"

namespace kestova {
namespace {

// Waits up to 10 s for `done`, polling every millisecond.
bool WaitFor(const std::atomic<bool>& done) {
  for (int i = 0; i < 10000 && !done.load(); ++i) SleepMs(1);
  return done.load();
}

struct Gate {
  std::atomic<bool> started{false};
  std::atomic<bool> release{false};
  std::atomic<bool> finished{false};
  void* seenArgument = nullptr;
};

void HoldUntilReleased(void* argument) {
  Gate* gate = static_cast<Gate*>(argument);
  gate->seenArgument = argument;
  gate->started = true;
  for (int i = 0; i < 10000 && !gate->release.load(); ++i) SleepMs(1);
  gate->finished = true;
}

TEST(ThreadTest, ADetachedThreadRunsWithItsArgumentAndIsCounted) {
  const int before = CurrentProcessThreadCount();
  EXPECT_GE(before, 1);
  Gate gate;
  ASSERT_TRUE(StartDetachedThread(&HoldUntilReleased, &gate));
  ASSERT_TRUE(WaitFor(gate.started));
  EXPECT_EQ(gate.seenArgument, &gate);
  EXPECT_GE(CurrentProcessThreadCount(), 2);
  gate.release = true;
  ASSERT_TRUE(WaitFor(gate.finished));
}

struct Counter {
  CLock lock;
  long value = 0;  // changed only under the lock
  std::atomic<int> finishedThreads{0};
};

constexpr int kIncrements = 100000;

void CountUnderLock(void* argument) {
  Counter* counter = static_cast<Counter*>(argument);
  for (int i = 0; i < kIncrements; ++i) {
    CLockHolder hold(counter->lock);
    // A read, a pause and a write: without the lock, increments would get lost.
    const long seen = counter->value;
    counter->value = seen + 1;
  }
  counter->finishedThreads.fetch_add(1);
}

TEST(ThreadTest, TheLockKeepsThreadsFromLosingUpdates) {
  Counter counter;
  constexpr int kThreads = 4;
  for (int t = 0; t < kThreads; ++t) ASSERT_TRUE(StartDetachedThread(&CountUnderLock, &counter));
  for (int i = 0; i < 30000 && counter.finishedThreads.load() < kThreads; ++i) SleepMs(1);
  ASSERT_EQ(counter.finishedThreads.load(), kThreads);
  CLockHolder hold(counter.lock);
  EXPECT_EQ(counter.value, static_cast<long>(kThreads) * kIncrements);
}

TEST(TimeTest, LocalTimeIsACalendarTime) {
  const CalendarTime now = LocalTimeNow();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_LE(now.hour, 23);
  EXPECT_LE(now.minute, 59);
  EXPECT_LE(now.second, 59);
}

TEST(TimeTest, TheTickCountMovesForward) {
  const uint32_t start = TickCountMs();
  uint32_t elapsed = 0;
  for (int i = 0; i < 5000 && elapsed == 0; ++i) {
    SleepMs(1);
    elapsed = TickCountMs() - start;  // unsigned: right across the wrap, too
  }
  EXPECT_GT(elapsed, 0u);
  EXPECT_LT(elapsed, 0x80000000u);  // forward, not backward
}

}  // namespace
}  // namespace kestova
