#include "capture/linux/frame_capture.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/linux/test_support/private_network.h"
#include "capture/name_service_frame.h"
#include "capture/test_support/name_query_frames.h"

namespace kestova {
namespace {

using testing::Address;

// Collects frames and failure reports from the reader thread; waits with a deadline.
class CCollector {
 public:
  static void OnFrame(uint32_t keyLow, uint32_t, const uint8_t* frame, uint32_t length,
                      void* context) {
    auto* self = static_cast<CCollector*>(context);
    std::lock_guard<std::mutex> hold(self->mutex_);
    self->frames_.emplace_back(frame, frame + length);
    self->keys_.push_back(keyLow);
    self->changed_.notify_all();
  }
  static void OnFailure(const char* text, bool fatal, void* context) {
    auto* self = static_cast<CCollector*>(context);
    std::lock_guard<std::mutex> hold(self->mutex_);
    self->failures_.push_back(std::string(fatal ? "fatal: " : "transient: ") + text);
    self->changed_.notify_all();
  }

  // Waits (at most 5 s) until `frames` frames and `failures` reports have arrived.
  bool WaitFor(size_t frames, size_t failures) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, std::chrono::seconds(5), [&] {
      return frames_.size() >= frames && failures_.size() >= failures;
    });
  }
  // Waits (at most 5 s) until `count` fatal failures have been reported.
  bool WaitForFatal(size_t count) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, std::chrono::seconds(5), [&] {
      return static_cast<size_t>(std::count_if(
                 failures_.begin(), failures_.end(),
                 [](const std::string& f) { return f.rfind("fatal", 0) == 0; })) >= count;
    });
  }
  std::vector<std::vector<uint8_t>> Frames() {
    std::lock_guard<std::mutex> hold(mutex_);
    return frames_;
  }
  std::vector<std::string> Failures() {
    std::lock_guard<std::mutex> hold(mutex_);
    return failures_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::vector<uint8_t>> frames_;
  std::vector<uint32_t> keys_;
  std::vector<std::string> failures_;
};

// A source driven through a pipe: each byte written is one arrival ('f' frame, 'n' nothing,
// 't' transient failure, 'x' fatal failure).
class CScriptedSource : public IFrameSource {
 public:
  CScriptedSource(int readFd, const std::atomic<bool>* gone) : readFd_(readFd), gone_(gone) {}
  ~CScriptedSource() override { close(readFd_); }
  int Descriptor() const override { return readFd_; }
  ReadOutcome Read(CapturedFrame* frame, std::string* error) override {
    char command = 0;
    if (read(readFd_, &command, 1) != 1) return ReadOutcome::kNothing;
    switch (command) {
      case 'f':
        frame_.assign(1, static_cast<uint8_t>(++count_));
        frame->bytes = frame_.data();
        frame->length = frame_.size();
        return ReadOutcome::kFrame;
      case 't':
        *error = "interface down";
        return ReadOutcome::kTransient;
      case 'x':
        *error = "interface gone";
        return ReadOutcome::kFailed;
      default:
        return ReadOutcome::kNothing;
    }
  }

  bool StillUsable(std::string* error) override {
    if (!gone_->load()) return true;
    *error = "interface removed";
    return false;
  }

 private:
  int readFd_;
  const std::atomic<bool>* gone_;
  std::vector<uint8_t> frame_;
  int count_ = 0;
};

class FrameCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(pipe(fds_), 0); }
  void TearDown() override { close(fds_[1]); }
  void Write(const char* commands) {
    ASSERT_EQ(write(fds_[1], commands, strlen(commands)), static_cast<ssize_t>(strlen(commands)));
  }
  std::unique_ptr<CFrameCapture> MakeCapture() {
    return std::unique_ptr<CFrameCapture>(
        new CFrameCapture(std::unique_ptr<IFrameSource>(new CScriptedSource(fds_[0], &gone_)),
                          &CCollector::OnFrame, &collector_, &CCollector::OnFailure, &collector_));
  }

  int fds_[2];
  std::atomic<bool> gone_{false};
  CCollector collector_;
};

TEST_F(FrameCaptureTest, FramesReachTheCallbackInOrderUntilStop) {
  std::unique_ptr<CFrameCapture> capture = MakeCapture();
  std::string error;
  ASSERT_TRUE(capture->Start(&error)) << error;
  Write("fnff");
  ASSERT_TRUE(collector_.WaitFor(3, 0));
  capture->Stop();
  const auto frames = collector_.Frames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0][0], 1);
  EXPECT_EQ(frames[2][0], 3);
  EXPECT_FALSE(capture->Failed());
  EXPECT_TRUE(collector_.Failures().empty());
}

TEST_F(FrameCaptureTest, TransientFailureIsReportedAndCaptureGoesOn) {
  std::unique_ptr<CFrameCapture> capture = MakeCapture();
  std::string error;
  ASSERT_TRUE(capture->Start(&error)) << error;
  Write("tf");
  ASSERT_TRUE(collector_.WaitFor(1, 1));
  EXPECT_EQ(collector_.Failures(), std::vector<std::string>{"transient: interface down"});
  EXPECT_FALSE(capture->Failed());
}

TEST_F(FrameCaptureTest, FatalFailureIsReportedAndEndsTheCapture) {
  std::unique_ptr<CFrameCapture> capture = MakeCapture();
  std::string error;
  ASSERT_TRUE(capture->Start(&error)) << error;
  Write("fxf");
  ASSERT_TRUE(collector_.WaitFor(1, 1));
  capture->Stop();  // joins the reader, which has ended on its own
  EXPECT_TRUE(capture->Failed());
  EXPECT_EQ(collector_.Failures(), std::vector<std::string>{"fatal: interface gone"});
  EXPECT_EQ(collector_.Frames().size(), 1u);  // nothing read after the failure
}

TEST_F(FrameCaptureTest, SourceThatCanNoLongerDeliverIsReportedWhileQuiet) {
  std::unique_ptr<CFrameCapture> capture = MakeCapture();
  std::string error;
  ASSERT_TRUE(capture->Start(&error)) << error;
  Write("f");
  ASSERT_TRUE(collector_.WaitFor(1, 0));
  gone_ = true;  // no arrival tells of it: the reader must notice on its own
  ASSERT_TRUE(collector_.WaitFor(1, 1));
  capture->Stop();
  EXPECT_TRUE(capture->Failed());
  EXPECT_EQ(collector_.Failures(), std::vector<std::string>{"fatal: interface removed"});
}

// With a reopener, an interface that goes is waited for; the new source takes over.
TEST_F(FrameCaptureTest, SourceWhoseInterfaceGoesIsReopenedWhenItReturns) {
  int second[2];
  ASSERT_EQ(pipe(second), 0);
  std::atomic<bool> returned{false};
  std::atomic<bool> secondGone{false};
  std::atomic<int> attempts{0};
  std::unique_ptr<CFrameCapture> capture = MakeCapture();
  capture->SetReopener(
      [&](std::string* error) -> std::unique_ptr<IFrameSource> {
        attempts.fetch_add(1);
        if (!returned.load()) {
          *error = "no such interface";
          return nullptr;
        }
        return std::unique_ptr<IFrameSource>(new CScriptedSource(second[0], &secondGone));
      },
      "back");
  std::string error;
  ASSERT_TRUE(capture->Start(&error)) << error;
  gone_ = true;
  ASSERT_TRUE(collector_.WaitFor(0, 1));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (attempts.load() < 2 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_GE(attempts.load(), 2);  // still waiting, nothing fatal
  returned = true;
  ASSERT_TRUE(collector_.WaitFor(0, 2));
  ASSERT_EQ(write(second[1], "f", 1), 1);
  ASSERT_TRUE(collector_.WaitFor(1, 2));
  capture->Stop();
  close(second[1]);
  EXPECT_FALSE(capture->Failed());
  EXPECT_EQ(collector_.Failures(),
            (std::vector<std::string>{"transient: interface removed - waiting for it to return",
                                      "transient: back"}));
}

TEST_F(FrameCaptureTest, StopEndsTheWaitForAnInterface) {
  std::unique_ptr<CFrameCapture> capture = MakeCapture();
  capture->SetReopener([](std::string*) { return std::unique_ptr<IFrameSource>(); }, "back");
  std::string error;
  ASSERT_TRUE(capture->Start(&error)) << error;
  gone_ = true;
  ASSERT_TRUE(collector_.WaitFor(0, 1));
  capture->Stop();
  EXPECT_FALSE(capture->Failed());
  EXPECT_EQ(collector_.Failures().size(), 1u);
}

// --- The real sources, in a private network namespace. ---

class CaptureSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string reason = testing::EnterPrivateNetwork();
    if (!reason.empty()) GTEST_SKIP() << reason;
  }
};

// Frames of the query with one byte changed.
std::vector<uint8_t> Changed(size_t offset, uint8_t value) {
  std::vector<uint8_t> frame = testing::GrTestQueryFrame();
  frame[offset] = value;
  return frame;
}

TEST_F(CaptureSourceTest, PacketFilterPassesExactlyTheNameServiceFrames) {
  std::string error;
  std::unique_ptr<IFrameSource> source = OpenPacketSource("lo", &error);
  ASSERT_NE(source, nullptr) << error;
  CCollector collector;
  CFrameCapture capture(std::move(source), &CCollector::OnFrame, &collector, &CCollector::OnFailure,
                        &collector);
  ASSERT_TRUE(capture.Start(&error)) << error;

  const std::vector<std::vector<uint8_t>> frames = {
      testing::GrTestQueryFrame(), Changed(13, 0x06),  // ARP
      Changed(14, 0x46),                               // IPv4 header with options
      Changed(15, 0x10),                               // type of service
      Changed(23, 0x06),                               // TCP
      Changed(35, 0x8a),                               // from port 138
      Changed(37, 0x35),                               // to port 53
      Changed(43, 0x99),                               // another query: passes
  };
  std::vector<std::vector<uint8_t>> expected;
  for (const auto& frame : frames) {
    ASSERT_TRUE(testing::InjectFrame(frame));
    if (IsNameServiceFrame(frame.data(), frame.size())) expected.push_back(frame);
  }
  ASSERT_EQ(expected.size(), 2u);
  ASSERT_TRUE(collector.WaitFor(2, 0));
  capture.Stop();
  // Each injected frame is seen once (the outgoing copy is skipped), byte for byte.
  EXPECT_EQ(collector.Frames(), expected);
  EXPECT_TRUE(collector.Failures().empty());
}

TEST_F(CaptureSourceTest, SocketSourceWrapsDatagramsFromPort137IntoFrames) {
  std::string error;
  std::unique_ptr<IFrameSource> source = OpenSocketSource(nullptr, &error);
  ASSERT_NE(source, nullptr) << error;
  CCollector collector;
  CFrameCapture capture(std::move(source), &CCollector::OnFrame, &collector, &CCollector::OnFailure,
                        &collector);
  ASSERT_TRUE(capture.Start(&error)) << error;

  const uint32_t querier = Address(192, 0, 2, 60);
  const int otherPort = testing::BoundUdpSocket(querier, 5000);
  const int port137 = testing::BoundUdpSocket(querier, 137);
  ASSERT_GE(otherPort, 0);
  ASSERT_GE(port137, 0);
  const std::vector<uint8_t> message = testing::GrTestQueryMessage();
  sockaddr_in to;
  std::memset(&to, 0, sizeof(to));
  to.sin_family = AF_INET;
  to.sin_port = htons(137);
  to.sin_addr.s_addr = Address(192, 0, 2, 1);
  for (int fd : {otherPort, port137}) {
    ASSERT_EQ(
        sendto(fd, message.data(), message.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)),
        static_cast<ssize_t>(message.size()));
  }
  ASSERT_TRUE(collector.WaitFor(1, 0));
  capture.Stop();
  close(otherPort);
  close(port137);

  const auto frames = collector.Frames();
  ASSERT_EQ(frames.size(), 1u);  // the datagram from port 5000 is not a name service frame
  const std::vector<uint8_t>& frame = frames[0];
  ASSERT_EQ(frame.size(), kUdpPayloadOffset + message.size());
  EXPECT_TRUE(IsNameServiceFrame(frame.data(), frame.size()));
  EXPECT_EQ(std::memcmp(frame.data() + 26, &querier, 4), 0);  // the responder answers here
  EXPECT_EQ(std::memcmp(frame.data() + 30, &to.sin_addr.s_addr, 4), 0);
  EXPECT_TRUE(std::equal(message.begin(), message.end(), frame.begin() + kUdpPayloadOffset));
}

// Both sources bound to an interface that is then removed: the capture reports it and ends.
TEST_F(CaptureSourceTest, RemovedInterfaceEndsTheCaptureWithAReport) {
  if (std::system("ip link add kcapv0 type veth peer name kcapv1 2>/dev/null") != 0) {
    GTEST_SKIP() << "cannot create a veth pair with ip(8)";
  }
  std::string error;
  std::unique_ptr<IFrameSource> packet = OpenPacketSource("kcapv0", &error);
  ASSERT_NE(packet, nullptr) << error;
  std::unique_ptr<IFrameSource> socket = OpenSocketSource("kcapv0", &error);
  ASSERT_NE(socket, nullptr) << error;
  CCollector collector;
  CFrameCapture packetCapture(std::move(packet), &CCollector::OnFrame, &collector,
                              &CCollector::OnFailure, &collector);
  CFrameCapture socketCapture(std::move(socket), &CCollector::OnFrame, &collector,
                              &CCollector::OnFailure, &collector);
  ASSERT_TRUE(packetCapture.Start(&error)) << error;
  ASSERT_TRUE(socketCapture.Start(&error)) << error;
  ASSERT_EQ(std::system("ip link del kcapv0"), 0);
  ASSERT_TRUE(collector.WaitForFatal(2));
  packetCapture.Stop();
  socketCapture.Stop();
  EXPECT_TRUE(packetCapture.Failed());
  EXPECT_TRUE(socketCapture.Failed());
  std::vector<std::string> failures = collector.Failures();
  std::sort(failures.begin(), failures.end());
  // The packet socket may first hear "network is down" (transient) before the removal shows.
  failures.erase(std::remove_if(failures.begin(), failures.end(),
                                [](const std::string& f) { return f.rfind("transient", 0) == 0; }),
                 failures.end());
  EXPECT_EQ(failures,
            (std::vector<std::string>{"fatal: packet capture: interface kcapv0 is gone",
                                      "fatal: socket capture: interface kcapv0 is gone"}));
}

TEST_F(CaptureSourceTest, UnknownInterfaceIsRefused) {
  std::string error;
  EXPECT_EQ(OpenPacketSource("nosuchif0", &error), nullptr);
  EXPECT_NE(error.find("nosuchif0"), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(OpenSocketSource("nosuchif0", &error), nullptr);
  EXPECT_NE(error.find("nosuchif0"), std::string::npos) << error;
}

}  // namespace
}  // namespace kestova
