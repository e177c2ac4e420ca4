// The reader thread against a fake device: an overlapped message-mode pipe whose other end the
// test writes, one message per read, as the driver completes one read per buffer.
#include "capture/win32/capture_reader.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "driver/kestova_shared.h"
#include "platform/thread.h"

namespace kestova {
namespace {

constexpr DWORD kWaitMs = 5000;

struct Call {
  uint32_t keyLow;
  uint32_t keyHigh;
  std::vector<uint8_t> frame;
};

struct Calls {
  CLock lock;
  std::vector<Call> calls;
  HANDLE arrived = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ~Calls() { CloseHandle(arrived); }

  static void OnFrame(uint32_t keyLow, uint32_t keyHigh, const uint8_t* frame, uint32_t length,
                      void* context) {
    Calls* self = static_cast<Calls*>(context);
    {
      CLockHolder hold(self->lock);
      self->calls.push_back(Call{keyLow, keyHigh, std::vector<uint8_t>(frame, frame + length)});
    }
    SetEvent(self->arrived);
  }
  size_t Count() {
    CLockHolder hold(lock);
    return calls.size();
  }
  // Waits until `count` calls have been made; false after kWaitMs.
  bool WaitFor(size_t count) {
    const DWORD start = GetTickCount();
    while (Count() < count) {
      if (GetTickCount() - start > kWaitMs) return false;
      WaitForSingleObject(arrived, 100);
    }
    return true;
  }
};

void AppendRecord(std::vector<uint8_t>* bytes, uint32_t keyLow, uint32_t keyHigh, uint32_t length,
                  uint8_t fill) {
  CapturedFrameHeader header = {};
  header.keyLow = keyLow;
  header.keyHigh = keyHigh;
  header.length = length;
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(&header);
  bytes->insert(bytes->end(), raw, raw + sizeof header);
  bytes->insert(bytes->end(), length, fill);
}

class CaptureReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[64];
    std::snprintf(name, sizeof name, "\\\\.\\pipe\\kestova-reader-%lu",
                  static_cast<unsigned long>(GetCurrentProcessId()));
    device_ = CreateNamedPipeA(name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                               PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 0,
                               kCaptureBufferSize, 0, nullptr);
    ASSERT_NE(device_, INVALID_HANDLE_VALUE);
    writer_ = CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer_, INVALID_HANDLE_VALUE);
    OVERLAPPED connect = {};
    connect.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const BOOL connected = ConnectNamedPipe(device_, &connect);
    EXPECT_TRUE(connected || GetLastError() == ERROR_PIPE_CONNECTED);
    CloseHandle(connect.hEvent);

    reader_.stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    reader_.callback = &Calls::OnFrame;
    reader_.context = &calls_;
    reader_.source = CaptureReader::Source::kDevice;
    reader_.device = device_;
    ASSERT_TRUE(StartCaptureReader(&reader_));
  }

  void TearDown() override {
    StopCaptureReader(&reader_);
    if (writer_ != INVALID_HANDLE_VALUE) CloseHandle(writer_);
    CloseHandle(static_cast<HANDLE>(reader_.stopEvent));
  }

  bool Write(const std::vector<uint8_t>& bytes) {
    DWORD written = 0;
    return WriteFile(writer_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
  }

  // True when the reader has ended within `ms` milliseconds.
  bool EndsWithin(DWORD ms) {
    const DWORD start = GetTickCount();
    while (InterlockedCompareExchange(&reader_.running, 0, 0) != 0) {
      if (GetTickCount() - start > ms) return false;
      Sleep(1);
    }
    return true;
  }

  HANDLE device_ = INVALID_HANDLE_VALUE;
  HANDLE writer_ = INVALID_HANDLE_VALUE;
  Calls calls_;
  CaptureReader reader_;
};

TEST_F(CaptureReaderTest, RecordsOf92And60BytesGiveTwoCallsWithTheirAdapterKeys) {
  std::vector<uint8_t> bytes;
  AppendRecord(&bytes, 0x44332211, 0x00006655, 92, 0xA1);
  AppendRecord(&bytes, 0xDDCCBBAA, 0x0000FFEE, 60, 0xB2);
  ASSERT_EQ(bytes.size(), 224u);
  ASSERT_TRUE(Write(std::vector<uint8_t>()));  // a read of 0 bytes: no call
  ASSERT_TRUE(Write(bytes));
  ASSERT_TRUE(calls_.WaitFor(2));
  Sleep(100);  // room for a wrong extra call
  CLockHolder hold(calls_.lock);
  ASSERT_EQ(calls_.calls.size(), 2u);
  EXPECT_EQ(calls_.calls[0].keyLow, 0x44332211u);
  EXPECT_EQ(calls_.calls[0].keyHigh, 0x00006655u);
  EXPECT_EQ(calls_.calls[0].frame, std::vector<uint8_t>(92, 0xA1));
  EXPECT_EQ(calls_.calls[1].keyLow, 0xDDCCBBAAu);
  EXPECT_EQ(calls_.calls[1].keyHigh, 0x0000FFEEu);
  EXPECT_EQ(calls_.calls[1].frame, std::vector<uint8_t>(60, 0xB2));
}

TEST_F(CaptureReaderTest, ARecordLongerThanTheReadEndsTheWalkOfThatRead) {
  std::vector<uint8_t> bytes;
  AppendRecord(&bytes, 1, 0, 60, 0x11);
  AppendRecord(&bytes, 2, 0, 60, 0x22);
  bytes.resize(bytes.size() - 1);  // the second record's header claims one byte too many
  ASSERT_TRUE(Write(bytes));
  std::vector<uint8_t> next;
  AppendRecord(&next, 3, 0, 50, 0x33);
  ASSERT_TRUE(Write(next));
  ASSERT_TRUE(calls_.WaitFor(2));
  Sleep(100);
  CLockHolder hold(calls_.lock);
  ASSERT_EQ(calls_.calls.size(), 2u);
  EXPECT_EQ(calls_.calls[0].keyLow, 1u);
  EXPECT_EQ(calls_.calls[1].keyLow, 3u);
}

TEST_F(CaptureReaderTest, StopEndsTheReaderWithinASecondAndClosesTheDevice) {
  SetEvent(static_cast<HANDLE>(reader_.stopEvent));
  EXPECT_TRUE(EndsWithin(1000));
  EXPECT_EQ(reader_.device, INVALID_HANDLE_VALUE);
  // The reader resets the stop event on its way out, so a later start can run a new reader.
  EXPECT_EQ(WaitForSingleObject(static_cast<HANDLE>(reader_.stopEvent), 0),
            static_cast<DWORD>(WAIT_TIMEOUT));
  // Its end of the pipe is closed: writing fails.
  EXPECT_FALSE(Write(std::vector<uint8_t>(40, 0)));
}

TEST_F(CaptureReaderTest, AReadThatFailsOutrightEndsTheReader) {
  CloseHandle(writer_);
  writer_ = INVALID_HANDLE_VALUE;
  EXPECT_TRUE(EndsWithin(kWaitMs));
  EXPECT_EQ(reader_.device, INVALID_HANDLE_VALUE);
  EXPECT_EQ(calls_.Count(), 0u);
}

}  // namespace
}  // namespace kestova
