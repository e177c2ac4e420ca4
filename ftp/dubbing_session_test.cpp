// The dubbing session behind a real listener, driven by a raw FTP client over loopback.
#include "ftp/dubbing_session.h"

#include <gtest/gtest.h>

#include <string>

#include "ftp/dubbing_documents.h"
#include "ftp/test_support/dubbing_doubles.h"
#include "ftp/test_support/raw_ftp_client.h"
#include "ftp/test_support/test_ftp_server.h"
#include "platform/file_system.h"
#include "platform/test_support/scratch_folder.h"

namespace kestova {
namespace {

using testing::CRawFtpClient;
using testing::CReceptionRecorder;
using testing::CTestFtpServer;

constexpr char kStatusName[] = "$xml$status.xml";
constexpr char kInfoName[] = "$netdubbing$dubbinginfo.xml";
constexpr char kProgrammeName[] = "$netdubbing$dev0.dat";

std::string Code(const std::string& reply) { return reply.substr(0, 3); }

std::string Stream(const char* title, size_t length, unsigned seed) {
  std::string stream = testing::PatternBytes(length, seed);
  for (size_t i = 0; i < 64 && 132 + i < length; ++i) {
    stream[132 + i] = title[i];
    if (title[i] == '\0') break;
  }
  return stream;
}

class DubbingSessionTest : public ::testing::Test {
 protected:
  DubbingSessionTest()
      : factory_(&recorder_), server_(&factory_) {}

  void SetUp() override { ASSERT_TRUE(server_.IsListening()); }

  void Login(CRawFtpClient& client) { ASSERT_TRUE(client.ConnectAndLogin(server_.Port())); }

  // RETR in passive mode; returns the data received and the final reply.
  std::string Retrieve(CRawFtpClient& client, const std::string& name, std::string* finalReply) {
    CEventSocket data;
    EXPECT_NE("", client.OpenPassive(&data));
    EXPECT_EQ("150", Code(client.Command("RETR " + name)));
    std::string bytes = testing::ReceiveAll(data);
    data.Close();
    *finalReply = client.ReadReply();
    return bytes;
  }

  // STOR (or another verb) of `bytes` with the given data-connection command.
  std::string Store(CRawFtpClient& client, const std::string& verb, const std::string& name,
                    const std::string& bytes, const char* mode = "PASV") {
    CEventSocket data;
    CEventSocket listener;
    bool active = std::string(mode) == "PORT";
    if (active) {
      EXPECT_EQ("200", Code(client.OpenActive(&listener)));
    } else {
      EXPECT_NE("", client.OpenPassive(&data, mode));
    }
    std::string opening = client.Command(verb + " " + name);
    EXPECT_EQ("150", Code(opening)) << opening;
    if (active) {
      EXPECT_TRUE(listener.Accept(data, nullptr, nullptr, 5000));
      listener.Close();
    }
    EXPECT_TRUE(testing::SendAll(data, bytes));
    data.Close();
    return client.ReadReply(20000);
  }

  std::string FileContent(const char* name) {
    return testing::ReadWholeFile(server_.Folder().PathOf(name));
  }

  // The progress texts of the last event (the final report of the last reception).
  ProgressTexts LastTexts() { return FormatProgress(recorder_.Events().back().figures); }

  CReceptionRecorder recorder_;
  CDubbingSessionFactory factory_;
  CTestFtpServer server_;
};

TEST_F(DubbingSessionTest, GreetingIsFixed) {
  CRawFtpClient client;
  ASSERT_TRUE(client.Connect(server_.Port()));
  EXPECT_EQ("220 Connected. <00:00:00:000>", client.ReadLine());
  CRawFtpClient second;
  ASSERT_TRUE(second.Connect(server_.Port()));
  EXPECT_EQ("220 Connected. <00:00:00:000>", second.ReadLine());
}

TEST_F(DubbingSessionTest, StatusDocumentIsServedByteExactOnEverySession) {
  const CCountedString document = BuildStatusDocument();
  const std::string expected(document.CStr(), document.Length());
  for (int session = 0; session < 2; ++session) {
    CRawFtpClient client;
    Login(client);
    for (int round = 0; round < 2; ++round) {
      std::string finalReply;
      std::string bytes = Retrieve(client, kStatusName, &finalReply);
      EXPECT_EQ(1471u, bytes.size());
      EXPECT_EQ(expected, bytes);
      EXPECT_EQ("226 Transfer complete", finalReply);
    }
  }
}

TEST_F(DubbingSessionTest, OtherSpellingsOfTheStatusNameAreOrdinaryFiles) {
  CRawFtpClient client;
  Login(client);
  // No such files: the base handler refuses them before any transfer.
  for (const std::string& name : {std::string("/") + kStatusName, std::string("$XML$STATUS.XML")}) {
    CEventSocket data;
    client.OpenPassive(&data);
    std::string reply = client.Command("RETR " + name);
    EXPECT_NE("150", Code(reply)) << name << ": " << reply;
    data.Close();
  }
  // Files of those names are served as files. (One at a time: Windows folds case.)
  const CCountedString lower = server_.Folder().PathOf(kStatusName);
  ASSERT_TRUE(testing::WriteWholeFile(lower, "on disk"));
  std::string finalReply;
  EXPECT_EQ("on disk", Retrieve(client, std::string("/") + kStatusName, &finalReply));
  ASSERT_TRUE(DeleteFileAt(lower));
  ASSERT_TRUE(testing::WriteWholeFile(server_.Folder().PathOf("$XML$STATUS.XML"), "capitals"));
  EXPECT_EQ("capitals", Retrieve(client, "$XML$STATUS.XML", &finalReply));
}

TEST_F(DubbingSessionTest, AnnouncedTitleSizeReachesTheProgressTexts) {
  CRawFtpClient client;
  Login(client);
  EXPECT_EQ("226 Transfer complete",
            Store(client, "STOR", kInfoName,
                  "<?xml version=\"1.0\"?><dubbinginfo><titlesize>1048576</titlesize>"
                  "</dubbinginfo>"));
  const std::string stream = Stream("SIZED", 3 << 20, 41);
  EXPECT_EQ("226 Transfer complete", Store(client, "STOR", kProgrammeName, stream));
  EXPECT_TRUE(FileContent("SIZED.MPG") == stream);
  ASSERT_FALSE(recorder_.Events().empty());
  EXPECT_EQ("3/2048", LastTexts().size);
}

TEST_F(DubbingSessionTest, TitleSizeWithLettersIsZero) {
  CRawFtpClient client;
  Login(client);
  Store(client, "STOR", kInfoName, "<titlesize>lots</titlesize>");
  Store(client, "STOR", kProgrammeName, Stream("UNSIZED", 1000, 42));
  ASSERT_FALSE(recorder_.Events().empty());
  EXPECT_EQ("0/0", LastTexts().size);
  EXPECT_EQ("--.--", LastTexts().percentage);
}

TEST_F(DubbingSessionTest, AppeBehavesAsStorForBothVirtualNames) {
  CRawFtpClient client;
  Login(client);
  EXPECT_EQ("226 Transfer complete", Store(client, "APPE", kInfoName, "<titlesize>4</titlesize>"));
  const std::string stream = Stream("APPENDED", 8192, 43);
  EXPECT_EQ("226 Transfer complete", Store(client, "APPE", kProgrammeName, stream));
  EXPECT_TRUE(FileContent("APPENDED.MPG") == stream);
  EXPECT_EQ("100.00", LastTexts().percentage);
  EXPECT_FALSE(PathExists(server_.Folder().PathOf(kProgrammeName)));
  EXPECT_FALSE(PathExists(server_.Folder().PathOf(kInfoName)));
}

TEST_F(DubbingSessionTest, ProgrammesArriveThroughPasvPswAndPort) {
  CRawFtpClient client;
  Login(client);
  const char* modes[] = {"PASV", "P@SW", "PORT"};
  for (unsigned i = 0; i < 3; ++i) {
    const std::string stream = Stream("MODE", 70000 + i, 50 + i);
    EXPECT_EQ("226 Transfer complete", Store(client, "STOR", kProgrammeName, stream, modes[i]))
        << modes[i];
  }
  EXPECT_TRUE(FileContent("MODE.MPG") == Stream("MODE", 70000, 50));
  EXPECT_TRUE(FileContent("MODE_1.MPG") == Stream("MODE", 70001, 51));
  EXPECT_TRUE(FileContent("MODE_2.MPG") == Stream("MODE", 70002, 52));
  ASSERT_EQ(3u, recorder_.Ids().size());
  EXPECT_EQ("SF", recorder_.KindsOf(recorder_.Ids()[2]).substr(0, 2));
}

TEST_F(DubbingSessionTest, RecorderNamesAnswerTheSameInAnyFolderAndIgnoreRest) {
  ASSERT_TRUE(CreateFolderTree(server_.Folder().PathOf("sub")));
  ASSERT_TRUE(testing::WriteWholeFile(server_.Folder().PathOf(std::string("sub/") + kProgrammeName),
                                      "a file of that name"));
  CRawFtpClient client;
  Login(client);
  EXPECT_EQ("250", Code(client.Command("CWD sub")));
  EXPECT_EQ("213 0", client.Command(std::string("SIZE ") + kProgrammeName));
  EXPECT_EQ("350", Code(client.Command("REST 100")));
  std::string finalReply;
  EXPECT_EQ(kStatusDocumentLength, Retrieve(client, kStatusName, &finalReply).size());
  EXPECT_EQ("226 Transfer complete", finalReply);
  // The offset went with that transfer: an ordinary file (RETR of this name is one)
  // starts at its first byte.
  EXPECT_EQ("a file of that name", Retrieve(client, kProgrammeName, &finalReply));
  EXPECT_EQ("226 Transfer complete", finalReply);
}

TEST_F(DubbingSessionTest, OrdinaryStorIsAFileOfThatName) {
  CRawFtpClient client;
  Login(client);
  EXPECT_EQ("226 Transfer complete", Store(client, "STOR", "/$netdubbing$dev0.dat", "plain"));
  EXPECT_EQ("plain", FileContent("$netdubbing$dev0.dat"));
  EXPECT_TRUE(recorder_.Events().empty());
}

TEST_F(DubbingSessionTest, ProgrammeWithoutDataConnectionIsRefused) {
  CRawFtpClient client;
  Login(client);
  EXPECT_EQ("425", Code(client.Command(std::string("STOR ") + kProgrammeName)));
  EXPECT_EQ("426 Connection closed; transfer aborted.", client.ReadReply());
  EXPECT_TRUE(recorder_.Events().empty());
  // The session goes on.
  EXPECT_EQ("257", Code(client.Command("PWD")));
}

}  // namespace
}  // namespace kestova
