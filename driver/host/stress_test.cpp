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

using standin::Adapter;
using standin::AdapterConfig;
using standin::Handle;
using standin::Request;

constexpr uint32_t kFramesPerAdapter = 3000;
constexpr int kReopenCount = 150;

class StressTest : public DriverTest {};

TEST_F(StressTest, ConcurrentIndicationsReadsAndReopensLoseNothingTwice) {
  Adapter* packets = BindAdapter(u"\\Device\\{PACKETS}", 1);
  AdapterConfig lookahead_config;
  lookahead_config.pend_transfers = true;
  Adapter* lookahead = BindAdapter(u"\\Device\\{LOOKAHEAD}", 2, lookahead_config);

  std::mutex handle_mutex;
  std::vector<std::unique_ptr<Handle>> handles;
  handles.emplace_back(new Handle());
  std::atomic<bool> stop_reading(false);

  std::mutex result_mutex;
  std::set<uint32_t> seen_tags;
  uint32_t next_sequence = 0;
  std::vector<std::string> problems;
  int cancelled_reads = 0;

  auto take = [&](const Request& read) {
    std::lock_guard<std::mutex> guard(result_mutex);
    if (read.status() == STATUS_CANCELLED) {
      ++cancelled_reads;
      if (read.information() != 0) problems.push_back("a cancelled read carried data");
      return;
    }
    if (read.status() != STATUS_SUCCESS) {
      problems.push_back("read failed");
      return;
    }
    std::vector<Record> records;
    if (!ParseRecords(read.buffer(), read.information(), &records)) {
      problems.push_back("a read ended inside a record");
    }
    for (const Record& record : records) {
      uint32_t tag = 0;
      if (!IsIntactFrame(record.frame.data(), record.frame.size(), &tag)) {
        problems.push_back("corrupted frame");
      } else if (!seen_tags.insert(tag).second) {
        problems.push_back("frame delivered twice");
      }
      if (record.sequence != next_sequence) problems.push_back("sequence gap");
      next_sequence = record.sequence + 1;
    }
  };

  std::thread reader([&] {
    for (int i = 0; i < 1000000 && !stop_reading; ++i) {
      std::unique_ptr<Request> read;
      {
        std::lock_guard<std::mutex> guard(handle_mutex);
        read = handles.back()->Read(kCaptureBufferSize);
      }
      // At most 30 s per read: frames, handle closes or the stop flag end every wait first.
      for (int waits = 0; waits < 1500 && !read->WaitCompleted(20); ++waits) {
        if (stop_reading) read->Cancel();
      }
      take(*read);
    }
  });
  std::thread reopener([&] {
    for (int i = 0; i < kReopenCount; ++i) {
      {
        std::lock_guard<std::mutex> guard(handle_mutex);
        handles.back()->Close();
        handles.emplace_back(new Handle());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  std::thread packet_source([&] {
    for (uint32_t i = 0; i < kFramesPerAdapter; ++i) {
      std::vector<uint8_t> frame = NameServiceFrame(60 + i % 400, 0x01000000u | i);
      if (i % 32 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
      packets->IndicatePacket(frame, {i % 2 == 0 ? frame.size() : 50},
                              i % 5 == 0 ? NDIS_STATUS_RESOURCES : NDIS_STATUS_SUCCESS);
    }
  });
  std::thread lookahead_source([&] {
    for (uint32_t i = 0; i < kFramesPerAdapter; ++i) {
      std::vector<uint8_t> frame = NameServiceFrame(60 + i % 400, 0x02000000u | i);
      if (i % 32 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
      lookahead->IndicateReceive(frame, i % 3 == 0 ? frame.size() : 64);
    }
  });

  packet_source.join();
  lookahead_source.join();
  lookahead->DrainPending();
  reopener.join();
  stop_reading = true;
  reader.join();

  // Whatever is still buffered.
  for (int i = 0; i < 10; ++i) {
    std::unique_ptr<Request> read = handles.back()->Read(kCaptureBufferSize);
    if (!read->completed()) read->Cancel();
    bool empty = read->status() == STATUS_CANCELLED;
    take(*read);
    if (empty) break;
  }

  std::lock_guard<std::mutex> guard(result_mutex);
  EXPECT_EQ(problems, std::vector<std::string>());
  EXPECT_GT(seen_tags.size(), 0u);
  EXPECT_LE(seen_tags.size(), 2 * kFramesPerAdapter);
  EXPECT_EQ(next_sequence, seen_tags.size());  // every record appended was delivered
  for (auto& handle : handles) handle->Close();
  printf("delivered %zu of %u frames, %d reads cancelled by handle closes\n", seen_tags.size(),
         2 * kFramesPerAdapter, cancelled_reads);
}

}  // namespace
}  // namespace testing
}  // namespace kestova
