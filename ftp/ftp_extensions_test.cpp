// The extensions over a raw control connection: FEAT, machine listings, file times,
// wildcard listings, the passive port range and the listen addresses.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ftp/file_name_encoding.h"
#include "ftp/test_support/logged_in_ftp_test.h"
#include "net/host.h"
#include "platform/file_system.h"
#include "platform/test_support/scratch_folder.h"
#include "platform/time.h"

namespace kestova {
namespace testing {
namespace {

const char kListOpening[] = "150 Opening ASCII mode data connection for directory list.";
const char kComplete[] = "226 Transfer complete";

class FtpExtensionsTest : public LoggedInFtpTest {
 protected:
  void SetUp() override {
    LoggedInFtpTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(CreateFolderTree(Local("sub")));
    for (const char* name : {"a.MPG", "b.MPG", "c.mpg", "abc", "axc", "abbc", ".hidden.MPG"}) {
      ASSERT_TRUE(WriteWholeFile(Local(name), name));
    }
    ASSERT_TRUE(WriteWholeFile(Local("sub/in.MPG"), "0123456789"));
    ASSERT_TRUE(SetLastWriteTime(Local("sub/in.MPG"), CalendarTime{2010, 1, 2, 3, 4, 5}));
  }
  // PASV and `command`; the data connection's bytes, the final reply in `*last`.
  std::string Listing(const std::string& command, std::string* last) {
    CEventSocket data;
    EXPECT_FALSE(client_.OpenPassive(&data).empty());
    const std::string first = client_.Command(command);
    std::string bytes;
    if (first == kListOpening) {
      bytes = ReceiveAll(data);
      *last = client_.ReadLine(10000);
    } else {
      *last = first;
    }
    data.Close();
    return bytes;
  }
};

TEST_F(FtpExtensionsTest, FeatListsTheExtensions) {
  // UTF8 where names are UTF-8 (Linux), not where they are in the ANSI code page (Windows).
  const std::string utf8 = FileNamesAreUtf8() ? " UTF8\r\n" : "";
  EXPECT_EQ(client_.Command("FEAT"),
            "211-Extensions supported:\r\n EPRT\r\n EPSV\r\n MDTM\r\n MFMT\r\n"
            " MLST type*;size*;modify*;perm*;\r\n REST STREAM\r\n SIZE\r\n" +
                utf8 + "211 End");
  EXPECT_EQ(client_.Command("OPTS UTF8 ON"),
            FileNamesAreUtf8() ? "200 UTF8 set to on" : "501 Option not understood.");
  EXPECT_EQ(client_.Command("OPTS MLST size"), "501 Option not understood.");
}

TEST_F(FtpExtensionsTest, MachineListingsGiveTheFactsOfFilesAndFolders) {
  std::string last;
  EXPECT_EQ(Listing("MLSD sub", &last),
            "type=file;size=10;modify=20100102030405;perm=adfrw; in.MPG\r\n");
  EXPECT_EQ(last, kComplete);
  ASSERT_TRUE(SetLastWriteTime(Local("sub/in.MPG"), CalendarTime{2010, 1, 2, 3, 4, 5}));
  const std::string top = Listing("MLSD", &last);
  EXPECT_NE(top.find("type=dir;modify="), std::string::npos) << top;
  EXPECT_NE(top.find(";perm=cdeflmp; sub\r\n"), std::string::npos) << top;
  EXPECT_EQ(top.find(" .\r\n"), std::string::npos) << top;
  EXPECT_EQ(Listing("MLSD a.MPG", &last), "");
  EXPECT_EQ(last, "550 \"a.MPG\": Directory not found.");
  EXPECT_EQ(client_.Command("MLST sub/in.MPG"),
            "250-Listing sub/in.MPG\r\n type=file;size=10;modify=20100102030405;perm=adfrw; "
            "sub/in.MPG\r\n250 End");
  EXPECT_EQ(client_.Command("MLST ../x"), "550 Permission denied.");
}

TEST_F(FtpExtensionsTest, FileTimesGoBothWaysInUtc) {
  const struct {
    const char* command;
    const char* reply;
  } cases[] = {
      {"MDTM sub/in.MPG", "213 20100102030405"},
      {"MFMT 20261208140102 sub/in.MPG", "213 Modify=20261208140102; sub/in.MPG"},
      {"MDTM sub/in.MPG", "213 20261208140102"},
      {"MFMT 20261308140102 sub/in.MPG", "501 Syntax error in parameters or arguments."},
      {"MFMT 20261208140102", "501 Syntax error in parameters or arguments."},
      {"MFMT 20261208140102 missing", "550 \"missing\": File not found."},
      {"MFMT 20261208140102 sub", "550 \"sub\": Not a plain file."},
      {"MFMT 20261208140102 ../../x", "550 Permission denied."},
      {"MDTM sub", "550 \"sub\": Not a plain file."},
      {"MDTM missing", "550 \"missing\": File not found."},
  };
  for (const auto& c : cases) EXPECT_EQ(client_.Command(c.command), c.reply) << c.command;
}

TEST_F(FtpExtensionsTest, WildcardsListMatchingEntriesOfOneFolderOnly) {
  const struct {
    const char* cwd;
    const char* command;
    std::set<std::string> names;  // empty: refused with `last`
    const char* last;
  } cases[] = {
      {"/", "NLST *.MPG", {"a.MPG", "b.MPG"}, kComplete},
      {"/", "NLST a?c", {"abc", "axc"}, kComplete},
      {"/", "NLST .*.MPG", {".hidden.MPG"}, kComplete},
      {"/", "NLST sub/*.MPG", {"sub/in.MPG"}, kComplete},
      {"/", "NLST *.none", {}, "550 \"*.none\": File not found."},
      {"/", "NLST ../*", {}, "550 Permission denied."},
      {"/", "NLST */in.MPG", {}, "550 \"*/in.MPG\": File not found."},
      {"/sub", "NLST ../?.MPG", {"../a.MPG", "../b.MPG"}, kComplete},
      {"/sub", "NLST ../../*", {}, "550 Permission denied."},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(client_.Command(std::string("CWD ") + c.cwd).substr(0, 4), "250 ");
    std::string last;
    const std::string bytes = Listing(c.command, &last);
    EXPECT_EQ(last, c.last) << c.command;
    std::set<std::string> names;
    for (size_t at = 0; at < bytes.size();) {
      const size_t end = bytes.find("\r\n", at);
      if (end == std::string::npos) break;
      names.insert(bytes.substr(at, end - at));
      at = end + 2;
    }
    EXPECT_EQ(names, c.names) << c.command;
  }
  // LIST takes the same patterns and keeps its line format.
  ASSERT_EQ(client_.Command("CWD /").substr(0, 4), "250 ");
  std::string last;
  const std::string lines = Listing("LIST *.MPG", &last);
  EXPECT_EQ(last, kComplete);
  EXPECT_EQ(lines.compare(0, 30, "-rw-rw-rw- 1 ftpuser ftpuser  "), 0) << lines;
  EXPECT_NE(lines.find(" a.MPG\r\n"), std::string::npos) << lines;
  EXPECT_EQ(lines.find("c.mpg"), std::string::npos) << lines;
}

TEST_F(FtpExtensionsTest, ExtendedPassiveAndActiveModesCarryTransfers) {
  const std::string reply = client_.Command("EPSV");
  ASSERT_EQ(reply.compare(0, 39, "229 Entering Extended Passive Mode (|||"), 0) << reply;
  const int port = std::atoi(reply.c_str() + 39);
  CEventSocket data;
  ASSERT_TRUE(data.Create(CEventSocket::kStream, 0, 5000));
  ASSERT_TRUE(data.Connect(ResolveHost("127.0.0.1"), static_cast<uint16_t>(port), 5000));
  EXPECT_EQ(client_.Command("RETR sub/in.MPG"),
            "150 Opening BINARY mode data connection for file transfer.");
  EXPECT_EQ(ReceiveAll(data), "0123456789");
  EXPECT_EQ(client_.ReadLine(10000), kComplete);
  data.Close();
  EXPECT_EQ(client_.Command("EPSV 2"), "522 Network protocol not supported, use (1)");

  CEventSocket listener;
  ASSERT_TRUE(listener.Create(CEventSocket::kStream, 0, 5000));
  ASSERT_TRUE(listener.Listen(1));
  uint16_t listening = 0;
  ASSERT_TRUE(listener.GetLocalAddress(static_cast<uint32_t*>(nullptr), &listening));
  const struct {
    std::string argument;
    const char* reply;
  } cases[] = {
      {"|1|127.0.0.9|" + std::to_string(listening) + "|", "500 Illegal PORT command."},
      {"|1|127.0.0.1|0|", "501 Syntax error in parameters or arguments."},
      {"|3|127.0.0.1|21|", "501 Syntax error in parameters or arguments."},
      {"|2|127.0.0.1|21|", "501 Syntax error in parameters or arguments."},
      {"|1|127.0.0.1|21", "501 Syntax error in parameters or arguments."},
      {"!1!127.0.0.1!" + std::to_string(listening) + "!", "200 EPRT command successful."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(client_.Command("EPRT " + c.argument), c.reply) << c.argument;
  }
  EXPECT_EQ(client_.Command("RETR sub/in.MPG"),
            "150 Opening BINARY mode data connection for file transfer.");
  CEventSocket accepted;
  ASSERT_TRUE(listener.Accept(accepted, nullptr, nullptr, 5000));
  EXPECT_EQ(ReceiveAll(accepted), "0123456789");
  EXPECT_EQ(client_.ReadLine(10000), kComplete);
  accepted.Close();
  listener.Close();

  // After EPSV ALL only EPSV sets up data connections.
  EXPECT_EQ(client_.Command("EPSV ALL"), "200 EPSV ALL command successful.");
  for (const char* command : {"PASV", "PORT 127,0,0,1,4,1", "EPRT |1|127.0.0.1|1025|"}) {
    EXPECT_EQ(client_.Command(command), "503 EPSV ALL in effect: use EPSV.") << command;
  }
}

TEST_F(FtpExtensionsTest, PassiveConnectionsStayInTheRange) {
  const PassivePortRange range{47311, 47318};
  server_.Service().SetPassivePorts(range);
  CRawFtpClient client;  // sessions take the range when they are accepted
  ASSERT_TRUE(client.ConnectAndLogin(server_.Port()));
  for (int i = 0; i < 4; ++i) {
    CEventSocket data;
    const std::string reply = client.OpenPassive(&data, i % 2 == 0 ? "PASV" : "EPSV");
    uint16_t port = 0;
    if (i % 2 == 0) {
      std::string address;
      ASSERT_TRUE(ParsePassiveReply(reply, &address, &port)) << reply;
    } else {
      port = static_cast<uint16_t>(std::atoi(reply.c_str() + 39));
    }
    EXPECT_GE(port, range.low) << reply;
    EXPECT_LE(port, range.high) << reply;
    data.Close();
  }
}

TEST(FtpListenAddressTest, AListenerOnOneAddressIsNotReachedOnAnother) {
  ASSERT_TRUE(StartSocketLibrary());
  CScratchFolder folder;
  CFtpService service;
  service.SetListenPort(0);
  service.SetServedFolder(folder.Path());
  service.SetListenAddresses({IpAddress::FromIPv4(ResolveHost("127.0.0.1"))});
  ASSERT_TRUE(service.StartListener());
  const uint32_t start = TickCountMs();
  while (service.ListeningPort() == 0 && TickCountMs() - start < 5000) SleepMs(10);
  const uint16_t port = service.ListeningPort();
  ASSERT_NE(port, 0);
  for (const char* address : {"127.0.0.1", "127.0.0.2", "::1"}) {
    IpAddress target;
    ASSERT_TRUE(ParseIpAddress(address, &target));
    CEventSocket client;
    const bool reached =
        client.CreateStream(target.IsIPv4() ? IpAddress::FromIPv4(0) : target, 0, 3000) &&
        client.Connect(target, port, 3000);
    EXPECT_EQ(reached, std::string(address) == "127.0.0.1") << address;
    client.Close();
  }
  service.RequestStop();
  EXPECT_TRUE(service.WaitUntilIdle(10000));
}

}  // namespace
}  // namespace testing
}  // namespace kestova
