// kestov-recorder's client against the in-process dubbing service over loopback.
#include "tools/recorder_client.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>

#include "ftp/dubbing_session.h"
#include "ftp/test_support/test_ftp_server.h"
#include "tools/recorder_stream.h"
#include "platform/test_support/scratch_folder.h"

namespace kestova {
namespace {

class RecorderClientTest : public ::testing::Test {
 protected:
  RecorderOptions Options(const char* title, uint64_t size) {
    RecorderOptions options;
    options.port = server_.Port();
    options.titleShiftJis = title;
    options.size = size;
    options.timeoutMs = 10000;
    return options;
  }
  std::string Saved(const char* name) {
    return testing::ReadWholeFile(server_.Folder().PathOf(name));
  }

  CDubbingSessionFactory factory_;
  testing::CTestFtpServer server_{&factory_};
  testing::CScratchFolder copies_;
};

TEST_F(RecorderClientTest, DubsInEveryDataMode) {
  ASSERT_TRUE(server_.IsListening());
  const DataMode modes[] = {DataMode::kPasv, DataMode::kPsw, DataMode::kPort};
  const char* names[] = {"PASV.MPG", "PSW.MPG", "PORT.MPG"};
  const char* titles[] = {"PASV", "PSW", "PORT"};
  for (int i = 0; i < 3; ++i) {
    RecorderOptions options = Options(titles[i], 300000 + i);
    options.mode = modes[i];
    options.pieceSize = 1000;
    options.copyTo = copies_.PathOf(titles[i]).CStr();
    CRecorderClient client(options);
    ASSERT_TRUE(client.Run()) << client.Error();
    EXPECT_EQ(300000u + i, client.BytesSent());
    EXPECT_EQ(1471u, client.StatusDocument().size());
    std::string sent = testing::ReadWholeFile(copies_.PathOf(titles[i]));
    EXPECT_EQ(300000u + i, sent.size());
    EXPECT_TRUE(Saved(names[i]) == sent) << names[i];
  }
}

uint64_t FileSize(const CCountedString& path) {
  std::ifstream file(path.CStr(), std::ios::binary | std::ios::ate);
  return file ? static_cast<uint64_t>(file.tellg()) : 0;
}

TEST_F(RecorderClientTest, CopyHoldsEveryByteTheDestinationSavedWhenCutShort) {
  ASSERT_TRUE(server_.IsListening());
  RecorderOptions options = Options("CUT", 1024ull * 1024 * 1024);
  options.pieceSize = 4 * 1024 * 1024;
  options.copyTo = copies_.PathOf("CUT").CStr();
  bool completed = true;
  std::thread dubbing([&options, &completed] {
    CRecorderClient client(options);
    completed = client.Run();
  });
  // The destination stops while the recorder is in the middle of sending a piece.
  const CCountedString target = server_.Folder().PathOf("CUT.MPG");
  for (int i = 0; i < 3000 && FileSize(target) < 16u * 1024 * 1024; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(server_.Stop());
  dubbing.join();
  EXPECT_FALSE(completed);
  const std::string saved = Saved("CUT.MPG");
  const std::string sent = testing::ReadWholeFile(copies_.PathOf("CUT"));
  ASSERT_GT(saved.size(), 0u);
  ASSERT_LE(saved.size(), sent.size());
  EXPECT_TRUE(sent.compare(0, saved.size(), saved) == 0);
}

TEST_F(RecorderClientTest, DubbingInformationAnnouncesTheSizeInBlocks) {
  RecorderOptions options = Options("X", 4097);
  EXPECT_NE(std::string::npos,
            CRecorderClient::DubbingInfoDocument(options, 4097).find("<titlesize>3</titlesize>"));
  options.titleSizeGiven = true;
  options.titleSizeText = "letters";
  EXPECT_NE(
      std::string::npos,
      CRecorderClient::DubbingInfoDocument(options, 4097).find("<titlesize>letters</titlesize>"));
}

TEST_F(RecorderClientTest, UnexpectedReplyEndsTheRunWithAMessage) {
  // A plain FTP service: the status document is an ordinary (missing) file there.
  testing::CTestFtpServer plain;
  ASSERT_TRUE(plain.IsListening());
  RecorderOptions options = Options("X", 1000);
  options.port = plain.Port();
  CRecorderClient client(options);
  EXPECT_FALSE(client.Run());
  EXPECT_NE(std::string::npos, client.Error().find("RETR $xml$status.xml")) << client.Error();
}

TEST_F(RecorderClientTest, NothingListeningIsReported) {
  testing::CTestFtpServer gone;
  uint16_t port = gone.Port();
  gone.Stop();
  RecorderOptions options = Options("X", 1000);
  options.port = port;
  options.timeoutMs = 2000;
  CRecorderClient client(options);
  EXPECT_FALSE(client.Run());
  EXPECT_NE(std::string::npos, client.Error().find("cannot connect")) << client.Error();
}

// A prepared stream (--write-stream) sent whole (--raw) arrives byte for byte, with the
// title its header carries: the kernel's file-to-socket move is the sender's fast path.
TEST_F(RecorderClientTest, PreparedStreamSentWholeArrivesUnchanged) {
  RecorderOptions prepare = Options("WHOLE", 3 * 1024 * 1024 + 5);
  const std::string stream = copies_.PathOf("stream").CStr();
  std::string error;
  ASSERT_TRUE(WriteProgrammeStream(prepare, stream, &error)) << error;
  RecorderOptions options = Options("ignored", 0);
  options.rawFile = stream;
  CRecorderClient client(options);
  ASSERT_TRUE(client.Run()) << client.Error();
  EXPECT_EQ(3u * 1024 * 1024 + 5, client.BytesSent());
  const std::string sent = testing::ReadWholeFile(copies_.PathOf("stream"));
  EXPECT_EQ(3u * 1024 * 1024 + 5, sent.size());
  EXPECT_TRUE(Saved("WHOLE.MPG") == sent);
}

}  // namespace
}  // namespace kestova
