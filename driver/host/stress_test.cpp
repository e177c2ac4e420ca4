// Frames from two adapters on two threads while a reader keeps one read pending and another
// thread closes and reopens the device handle. Every delivered frame must arrive once, intact
// and in sequence; every request must complete exactly once (the stand-in reports any second
// completion) and nothing may leak (the fixture checks; run under AddressSanitizer too).
#include <gtest/gtest.h>
#include <stdio.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "test_support/driver_fixture.h"

namespace kestova {
namespace testing {
namespace {

using standin::AdapterConfig;
using standin::CAdapter;
using standin::CHandle;
using standin::CRequest;

constexpr uint32_t kFramesPerAdapter = 3000;
constexpr int kReopenCount = 150;

class StressTest : public DriverTest {};

TEST_F(StressTest, ConcurrentIndicationsReadsAndReopensLoseNothingTwice) {
  CAdapter* packets = BindAdapter(u"\\Device\\{PACKETS}", 1);
  AdapterConfig lookaheadConfig;
  lookaheadConfig.pendTransfers = true;
  CAdapter* lookahead = BindAdapter(u"\\Device\\{LOOKAHEAD}", 2, lookaheadConfig);

  std::mutex handleMutex;
  std::vector<std::unique_ptr<CHandle>> handles;
  handles.emplace_back(new CHandle());
  std::atomic<bool> stopReading(false);

  std::mutex resultMutex;
  std::set<uint32_t> seenTags;
  uint32_t nextSequence = 0;
  std::vector<std::string> problems;
  int cancelledReads = 0;

  auto take = [&](const CRequest& read) {
    std::lock_guard<std::mutex> guard(resultMutex);
    if (read.Status() == STATUS_CANCELLED) {
      ++cancelledReads;
      if (read.Information() != 0) problems.push_back("a cancelled read carried data");
      return;
    }
    if (read.Status() != STATUS_SUCCESS) {
      problems.push_back("read failed");
      return;
    }
    std::vector<Record> records;
    if (!ParseRecords(read.Buffer(), read.Information(), &records)) {
      problems.push_back("a read ended inside a record");
    }
    for (const Record& record : records) {
      uint32_t tag = 0;
      if (!IsIntactFrame(record.frame.data(), record.frame.size(), &tag)) {
        problems.push_back("corrupted frame");
      } else if (!seenTags.insert(tag).second) {
        problems.push_back("frame delivered twice");
      }
      if (record.sequence != nextSequence) problems.push_back("sequence gap");
      nextSequence = record.sequence + 1;
    }
  };

  std::thread reader([&] {
    for (int i = 0; i < 1000000 && !stopReading; ++i) {
      std::unique_ptr<CRequest> read;
      {
        std::lock_guard<std::mutex> guard(handleMutex);
        read = handles.back()->Read(kCaptureBufferSize);
      }
      // At most 30 s per read: frames, handle closes or the stop flag end every wait first.
      for (int waits = 0; waits < 1500 && !read->WaitCompleted(20); ++waits) {
        if (stopReading) read->Cancel();
      }
      take(*read);
    }
  });
  std::thread reopener([&] {
    for (int i = 0; i < kReopenCount; ++i) {
      {
        std::lock_guard<std::mutex> guard(handleMutex);
        handles.back()->Close();
        handles.emplace_back(new CHandle());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  std::thread packetSource([&] {
    for (uint32_t i = 0; i < kFramesPerAdapter; ++i) {
      std::vector<uint8_t> frame = NameServiceFrame(60 + i % 400, 0x01000000u | i);
      if (i % 32 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
      packets->IndicatePacket(frame, {i % 2 == 0 ? frame.size() : 50},
                              i % 5 == 0 ? NDIS_STATUS_RESOURCES : NDIS_STATUS_SUCCESS);
    }
  });
  std::thread lookaheadSource([&] {
    for (uint32_t i = 0; i < kFramesPerAdapter; ++i) {
      std::vector<uint8_t> frame = NameServiceFrame(60 + i % 400, 0x02000000u | i);
      if (i % 32 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
      lookahead->IndicateReceive(frame, i % 3 == 0 ? frame.size() : 64);
    }
  });

  packetSource.join();
  lookaheadSource.join();
  lookahead->DrainPending();
  reopener.join();
  stopReading = true;
  reader.join();

  // Whatever is still buffered.
  for (int i = 0; i < 10; ++i) {
    std::unique_ptr<CRequest> read = handles.back()->Read(kCaptureBufferSize);
    if (!read->Completed()) read->Cancel();
    bool empty = read->Status() == STATUS_CANCELLED;
    take(*read);
    if (empty) break;
  }

  std::lock_guard<std::mutex> guard(resultMutex);
  EXPECT_EQ(problems, std::vector<std::string>());
  EXPECT_GT(seenTags.size(), 0u);
  EXPECT_LE(seenTags.size(), 2 * kFramesPerAdapter);
  EXPECT_EQ(nextSequence, seenTags.size());  // every record appended was delivered
  for (auto& handle : handles) handle->Close();
  printf("delivered %zu of %u frames, %d reads cancelled by handle closes\n", seenTags.size(),
         2 * kFramesPerAdapter, cancelledReads);
}

}  // namespace
}  // namespace testing
}  // namespace kestova
