#include "test_support/driver_fixture.h"

#include <string.h>

#include <string>

namespace kestova {
namespace testing {

namespace {

uint8_t PatternByte(uint32_t tag, size_t index) {
  return static_cast<uint8_t>((tag * 131u + index * 7u + (tag >> 8)) & 0xFF);
}

}  // namespace

std::vector<uint8_t> NameServiceFrame(size_t length, uint32_t tag) {
  std::vector<uint8_t> frame(length < 46 ? 46 : length, 0);
  const uint8_t header[] = {
      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E,  // addresses
      0x08, 0x00,                                                              // IPv4
      0x45, 0x00, 0x00, 0x4E, 0x12, 0x34, 0x00, 0x00, 0x80, 0x11, 0x00, 0x00,  // IP header
      0xC0, 0xA8, 0x01, 0x0A, 0xC0, 0xA8, 0x01, 0xFF,                          // addresses
      0x00, 0x89, 0x00, 0x89, 0x00, 0x3A, 0x00, 0x00};                         // UDP 137 -> 137
  memcpy(frame.data(), header, sizeof(header));
  for (int i = 0; i < 4; ++i) frame[42 + i] = static_cast<uint8_t>(tag >> (8 * i));
  for (size_t i = 46; i < frame.size(); ++i) frame[i] = PatternByte(tag, i);
  frame.resize(length);
  return frame;
}

bool IsIntactFrame(const uint8_t* frame, size_t length, uint32_t* tag) {
  if (length < 46) return false;
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(frame[42 + i]) << (8 * i);
  std::vector<uint8_t> expected = NameServiceFrame(length, value);
  *tag = value;
  return memcmp(expected.data(), frame, length) == 0;
}

bool ParseRecords(const std::vector<uint8_t>& stream, size_t length, std::vector<Record>* records) {
  size_t offset = 0;
  while (offset < length) {
    if (length - offset < kCapturedFrameHeaderSize) return false;
    CapturedFrameHeader header;
    memcpy(&header, stream.data() + offset, sizeof(header));
    if (length - offset - kCapturedFrameHeaderSize < header.length) return false;
    const uint8_t* frame = stream.data() + offset + kCapturedFrameHeaderSize;
    records->push_back(Record{header.sequence, header.keyLow, header.keyHigh,
                              std::vector<uint8_t>(frame, frame + header.length)});
    offset += kCapturedFrameHeaderSize + header.length;
  }
  return true;
}

AdapterKey KeyOf(const uint8_t address[6]) { return MakeAdapterKey(address); }

void DriverTest::SetUp() {
  standin::ResetWorld();
  ASSERT_EQ(standin::LoadDriver(), STATUS_SUCCESS);
  loaded_ = true;
}

void DriverTest::Unload() {
  for (auto& handle : handles_) handle->Close();
  if (loaded_) standin::UnloadDriver();
  loaded_ = false;
}

void DriverTest::TearDown() {
  Unload();
  handles_.clear();
  adapters_.clear();
  EXPECT_EQ(standin::Faults(), std::vector<std::string>());
  EXPECT_TRUE(standin::NothingOutstanding()) << standin::Describe(standin::Counts());
  if (!expectAssertions_) {
    EXPECT_EQ(standin::AssertionReports(), std::vector<std::string>());
  }
}

standin::CAdapter* DriverTest::AddAdapter(standin::AdapterConfig config) {
  adapters_.push_back(std::unique_ptr<standin::CAdapter>(new standin::CAdapter(std::move(config))));
  return adapters_.back().get();
}

standin::CAdapter* DriverTest::AddAdapter(const char16_t* name, uint8_t lastAddressByte,
                                          standin::AdapterConfig config) {
  config.deviceName = name;
  config.address[5] = lastAddressByte;
  return AddAdapter(std::move(config));
}

standin::CAdapter* DriverTest::BindAdapter(const char16_t* name, uint8_t lastAddressByte,
                                           standin::AdapterConfig config) {
  standin::CAdapter* adapter = AddAdapter(name, lastAddressByte, std::move(config));
  EXPECT_EQ(adapter->Bind(), NDIS_STATUS_SUCCESS);
  return adapter;
}

standin::CHandle* DriverTest::OpenHandle() {
  handles_.push_back(std::unique_ptr<standin::CHandle>(new standin::CHandle()));
  EXPECT_EQ(handles_.back()->CreateStatus(), STATUS_SUCCESS);
  return handles_.back().get();
}

std::vector<Record> DriverTest::ReadAll() {
  standin::CHandle* handle = handles_.empty() ? OpenHandle() : handles_.front().get();
  std::vector<Record> records;
  std::unique_ptr<standin::CRequest> read = handle->Read(kCaptureBufferSize);
  if (!read->Completed()) {
    read->Cancel();  // nothing was buffered
    EXPECT_EQ(read->Status(), STATUS_CANCELLED);
    return records;
  }
  EXPECT_EQ(read->Status(), STATUS_SUCCESS);
  EXPECT_TRUE(ParseRecords(read->Buffer(), read->Information(), &records));
  return records;
}

}  // namespace testing
}  // namespace kestova
