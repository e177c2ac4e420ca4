// The receive path: the frame filter, the capture buffer and its records, the lookahead and
// packet indications, and reads.
#include <gtest/gtest.h>
#include <string.h>

#include "driver_globals.h"
#include "test_support/driver_fixture.h"

namespace kestova {
namespace testing {
namespace {

using standin::CAdapter;
using standin::CRequest;

class ReceiveTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    adapter_ = BindAdapter(u"\\Device\\{A}", 1);
  }
  CAdapter* adapter_ = nullptr;
};

TEST_F(ReceiveTest, FilterKeepsOnlyNameServiceFrames) {
  struct Case {
    const char* what;
    size_t offset;
    uint8_t value;
  };
  const Case refused[] = {{"UDP to port 138", 37, 0x8A},
                          {"UDP from port 138", 35, 0x8A},
                          {"IPv4 with options", 14, 0x46},
                          {"type of service", 15, 0x10},
                          {"TCP", 23, 0x06},
                          {"ARP", 13, 0x06},
                          {"IPv6 EtherType", 12, 0x86}};
  for (const Case& c : refused) {
    std::vector<uint8_t> frame = NameServiceFrame(92);
    frame[c.offset] = c.value;
    EXPECT_EQ(adapter_->IndicatePacket(frame, {}), 0) << c.what;
  }
  EXPECT_EQ(ReadAll().size(), 0u);

  std::vector<uint8_t> kept = NameServiceFrame(92, 7);
  adapter_->IndicatePacket(kept, {});
  std::vector<Record> records = ReadAll();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].frame, kept);
}

TEST_F(ReceiveTest, FilterNeedsMoreThanFortyTwoBytesInTheFirstBuffer) {
  std::vector<uint8_t> frame = NameServiceFrame(92, 1);
  adapter_->IndicatePacket(frame, {42});  // 42 bytes, then the rest in a second buffer
  adapter_->IndicatePacket(std::vector<uint8_t>(frame.begin(), frame.begin() + 42), {});
  EXPECT_EQ(ReadAll().size(), 0u);

  adapter_->IndicatePacket(frame, {43, 20});  // three buffers: copied whole, in chain order
  std::vector<Record> records = ReadAll();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].frame, frame);
}

TEST_F(ReceiveTest, RecordsCarrySequenceKeyAndLength) {
  std::vector<uint8_t> first = NameServiceFrame(60, 1);
  std::vector<uint8_t> second = NameServiceFrame(92, 2);
  adapter_->IndicatePacket(first, {});
  adapter_->IndicatePacket(second, {});
  std::unique_ptr<CRequest> read = OpenHandle()->Read(kCaptureBufferSize);
  ASSERT_TRUE(read->Completed());
  ASSERT_EQ(read->Information(), 96u + 128u);
  const uint8_t* bytes = read->Buffer().data();
  CapturedFrameHeader header;
  memcpy(&header, bytes + 96, sizeof(header));  // the second record starts at offset 96
  EXPECT_EQ(header.sequence, 1u);
  EXPECT_EQ(header.length, 92u);
  const uint8_t address[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x01};
  EXPECT_EQ(header.keyLow, MakeAdapterKey(address).low);
  EXPECT_EQ(header.keyHigh, 0x00000144u);
  EXPECT_EQ(memcmp(bytes + 96 + 36, second.data(), 92), 0);
}

TEST_F(ReceiveTest, WithoutReadsTheBufferKeepsTheFirst511Records) {
  for (uint32_t i = 0; i < 1000; ++i) adapter_->IndicatePacket(NameServiceFrame(92, i), {});
  std::vector<Record> records = ReadAll();
  ASSERT_EQ(records.size(), 511u);  // 511 x 128 = 65408; the 512th would pass 65436
  for (uint32_t i = 0; i < records.size(); ++i) {
    uint32_t tag = 0;
    EXPECT_EQ(records[i].sequence, i);
    EXPECT_TRUE(IsIntactFrame(records[i].frame.data(), records[i].frame.size(), &tag));
    EXPECT_EQ(tag, i);  // the oldest are kept
  }
  // Dropped frames used no sequence numbers.
  adapter_->IndicatePacket(NameServiceFrame(92, 5000), {});
  records = ReadAll();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].sequence, 511u);
}

TEST_F(ReceiveTest, SequenceNumbersStayConsecutiveAcrossAdapters) {
  CAdapter* other = BindAdapter(u"\\Device\\{B}", 2);
  for (uint32_t i = 0; i < 10; ++i) {
    (i % 3 == 0 ? other : adapter_)->IndicatePacket(NameServiceFrame(70, i), {});
  }
  std::vector<Record> records = ReadAll();
  ASSERT_EQ(records.size(), 10u);
  for (uint32_t i = 0; i < 10; ++i) {
    EXPECT_EQ(records[i].sequence, i);
    EXPECT_EQ(records[i].keyHigh, i % 3 == 0 ? 0x00000244u : 0x00000144u);
  }
}

TEST_F(ReceiveTest, AShortReadTakesAPrefixAndTheNextReadTheRest) {
  adapter_->IndicatePacket(NameServiceFrame(92, 3), {});
  standin::CHandle* handle = OpenHandle();
  std::unique_ptr<CRequest> first = handle->Read(100);
  ASSERT_TRUE(first->Completed());
  EXPECT_EQ(first->Information(), 100u);
  std::unique_ptr<CRequest> second = handle->Read(kCaptureBufferSize);
  ASSERT_TRUE(second->Completed());
  EXPECT_EQ(second->Information(), 28u);
  std::vector<uint8_t> stream(128);
  memcpy(stream.data(), first->Buffer().data(), 100);
  memcpy(stream.data() + 100, second->Buffer().data(), 28);
  std::vector<Record> records;
  ASSERT_TRUE(ParseRecords(stream, stream.size(), &records));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].frame, NameServiceFrame(92, 3));
}

TEST_F(ReceiveTest, AReadOfBufferedRecordsCompletesBeforeItsDispatchReturns) {
  adapter_->IndicatePacket(NameServiceFrame(92), {});
  std::unique_ptr<CRequest> read = OpenHandle()->Read(kCaptureBufferSize);
  EXPECT_EQ(read->DispatchResult(), STATUS_PENDING);
  EXPECT_TRUE(read->CompletedDuringDispatch());
  EXPECT_EQ(read->Status(), STATUS_SUCCESS);
  EXPECT_EQ(read->Information(), 128u);
}

TEST_F(ReceiveTest, APendingReadIsFilledByTheNextFrame) {
  standin::CHandle* handle = OpenHandle();
  std::unique_ptr<CRequest> read = handle->Read(kCaptureBufferSize);
  EXPECT_EQ(read->DispatchResult(), STATUS_PENDING);
  EXPECT_FALSE(read->Completed());
  adapter_->IndicatePacket(NameServiceFrame(80), {});
  ASSERT_TRUE(read->Completed());
  EXPECT_EQ(read->Information(), 116u);
}

TEST_F(ReceiveTest, ClosingTheHandleCancelsThePendingRead) {
  standin::CHandle* handle = OpenHandle();
  std::unique_ptr<CRequest> read = handle->Read(kCaptureBufferSize);
  ASSERT_FALSE(read->Completed());
  handle->Close();
  ASSERT_TRUE(read->Completed());
  EXPECT_EQ(read->Status(), STATUS_CANCELLED);
  EXPECT_EQ(read->Information(), 0u);
  EXPECT_EQ(g_globals.PendedReadCount, 0u);
}

TEST_F(ReceiveTest, CancellingAReadCompletesItOnce) {
  standin::CHandle* handle = OpenHandle();
  std::unique_ptr<CRequest> kept = handle->Read(kCaptureBufferSize);
  std::unique_ptr<CRequest> cancelled = handle->Read(kCaptureBufferSize);
  EXPECT_TRUE(cancelled->Cancel());
  EXPECT_EQ(cancelled->Status(), STATUS_CANCELLED);
  EXPECT_FALSE(cancelled->Cancel());  // no routine any more: nothing happens
  EXPECT_EQ(g_globals.PendedReadCount, 1u);
  adapter_->IndicatePacket(NameServiceFrame(92), {});
  EXPECT_EQ(kept->Status(), STATUS_SUCCESS);
}

TEST_F(ReceiveTest, ReadsWithoutAUsableBufferFailAtOnce) {
  standin::CHandle* handle = OpenHandle();
  std::unique_ptr<CRequest> empty = handle->Read(0);
  EXPECT_EQ(empty->DispatchResult(), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(empty->Status(), STATUS_INVALID_PARAMETER);
  std::unique_ptr<CRequest> unmappable = handle->Read(100, true);
  EXPECT_EQ(unmappable->Status(), STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(g_globals.PendedReadCount, 0u);
}

TEST_F(ReceiveTest, LookaheadIndicationsAreCopiedWholeOrTransferred) {
  std::vector<uint8_t> whole = NameServiceFrame(92, 1);
  std::vector<uint8_t> partial = NameServiceFrame(300, 2);
  EXPECT_EQ(adapter_->IndicateReceive(whole, 78), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(adapter_->IndicateReceive(partial, 100), NDIS_STATUS_SUCCESS);
  std::vector<Record> records = ReadAll();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].frame, whole);
  EXPECT_EQ(records[1].frame, partial);
}

TEST_F(ReceiveTest, LookaheadWithAnOddHeaderSizeIsNotAccepted) {
  EXPECT_EQ(adapter_->IndicateReceive(NameServiceFrame(92), 78, 16), NDIS_STATUS_NOT_ACCEPTED);
  EXPECT_EQ(ReadAll().size(), 0u);
}

TEST_F(ReceiveTest, PacketIndicationsNeverLeaveAReferenceBehind) {
  // The NT path (frame filtered in place) and the copy paths (resources status) all return 0.
  EXPECT_EQ(adapter_->IndicatePacket(NameServiceFrame(92, 1), {}), 0);
  EXPECT_EQ(adapter_->IndicatePacket(NameServiceFrame(92, 2), {}, NDIS_STATUS_RESOURCES), 0);
  EXPECT_EQ(adapter_->IndicatePacket(NameServiceFrame(92, 3), {13}), 0);  // too short a head
  std::vector<Record> records = ReadAll();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].frame, NameServiceFrame(92, 2));
}

class TransferTest : public DriverTest {};

TEST_F(TransferTest, PendedTransfersCaptureWhenTheyComplete) {
  standin::AdapterConfig config;
  config.pendTransfers = true;
  CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1, config);
  std::unique_ptr<CRequest> read = OpenHandle()->Read(kCaptureBufferSize);
  EXPECT_EQ(adapter->IndicateReceive(NameServiceFrame(200, 9), 50), NDIS_STATUS_SUCCESS);
  adapter->DrainPending();
  ASSERT_TRUE(read->Completed());
  std::vector<Record> records;
  ASSERT_TRUE(ParseRecords(read->Buffer(), read->Information(), &records));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].frame, NameServiceFrame(200, 9));
}

TEST_F(TransferTest, AShortTransferCapturesOnlyWhatArrived) {
  standin::AdapterConfig config;
  config.transferShortfall = 20;
  CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1, config);
  std::vector<uint8_t> frame = NameServiceFrame(200, 5);
  EXPECT_EQ(adapter->IndicateReceive(frame, 50), NDIS_STATUS_SUCCESS);
  std::vector<Record> records = ReadAll();
  ASSERT_EQ(records.size(), 1u);
  // No byte of the copy packet's memory that the transfer did not write is captured.
  EXPECT_EQ(records[0].frame, std::vector<uint8_t>(frame.begin(), frame.end() - 20));
}

TEST_F(TransferTest, CopyPacketsRunOutAtTheReceivePoolSize) {
  standin::AdapterConfig config;
  config.pendTransfers = true;
  config.holdPending = true;
  CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1, config);
  int accepted = 0;
  for (uint32_t i = 0; i < 25; ++i) {
    accepted += adapter->IndicateReceive(NameServiceFrame(200, i), 50) == NDIS_STATUS_SUCCESS;
  }
  EXPECT_EQ(accepted, 20);  // 4 descriptors + 16 overflow, all waiting for their transfer
  adapter->DrainPending();
  EXPECT_EQ(ReadAll().size(), 20u);
  EXPECT_EQ(adapter->IndicateReceive(NameServiceFrame(200), 50), NDIS_STATUS_SUCCESS);
  adapter->DrainPending();
}

TEST_F(TransferTest, OnWindows9xPacketsAreCopiedFirst) {
  standin::SetEnvironmentValue(false, 0);  // no configuration: the Windows 9x flag stays set
  CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1);
  std::vector<uint8_t> frame = NameServiceFrame(150, 4);
  EXPECT_EQ(adapter->IndicatePacket(frame, {50, 50}), 0);
  std::vector<Record> records = ReadAll();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].frame, frame);
}

}  // namespace
}  // namespace testing
}  // namespace kestova
