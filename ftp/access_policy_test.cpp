// The policies for ordinary clients, with the recorder's dubbing going on under each.
#include <gtest/gtest.h>

#include <string>

#include "ftp/dubbing_session.h"
#include "ftp/test_support/dubbing_doubles.h"
#include "ftp/test_support/raw_ftp_client.h"
#include "ftp/test_support/test_ftp_server.h"
#include "platform/test_support/scratch_folder.h"

namespace kestova {
namespace testing {
namespace {

const char kOpening[] = "150 Opening BINARY mode data connection for file transfer.";
const char kComplete[] = "226 Transfer complete";
const char kDenied[] = "550 Permission denied.";

class AccessPolicyTest : public ::testing::TestWithParam<OrdinaryClientAccess> {
 protected:
  AccessPolicyTest()
      : factory_(&recorder_), server_(&factory_) {}
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    ASSERT_TRUE(WriteWholeFile(server_.Folder().PathOf("old.MPG"), "kept"));
    server_.Service().SetOrdinaryClientAccess(GetParam());
    ASSERT_TRUE(client_.ConnectAndLogin(server_.Port()));
  }
  // PASV, `command` and, after its 150, the upload or the download; the final reply.
  std::string Transfer(const std::string& command, const std::string& upload, std::string* got) {
    CEventSocket data;
    EXPECT_FALSE(client_.OpenPassive(&data).empty());
    const std::string first = client_.Command(command);
    if (first != kOpening) {
      data.Close();
      return first;
    }
    if (upload.empty()) {
      *got = ReceiveAll(data);
    } else {
      EXPECT_TRUE(SendAll(data, upload));
    }
    data.Close();
    return client_.ReadReply(20000);
  }

  CReceptionRecorder recorder_;
  CDubbingSessionFactory factory_;
  CTestFtpServer server_;
  CRawFtpClient client_;
};

TEST_P(AccessPolicyTest, OrdinaryFilesFollowThePolicyAndDubbingAlwaysWorks) {
  const OrdinaryClientAccess access = GetParam();
  const bool reads = access != OrdinaryClientAccess::kNone;
  const bool writes = access == OrdinaryClientAccess::kFull;
  std::string got;
  EXPECT_EQ(Transfer("RETR old.MPG", "", &got), reads ? kComplete : kDenied);
  EXPECT_EQ(got, reads ? "kept" : "");
  EXPECT_EQ(client_.Command("DELE old.MPG"), writes ? "250 DELE command successful." : kDenied);
  EXPECT_EQ(client_.Command("MKD new").substr(0, 4), writes ? "257 " : "550 ");
  EXPECT_EQ(Transfer("STOR up.bin", "bytes", &got), writes ? kComplete : kDenied);
  EXPECT_EQ(client_.Command("MFMT 20100101000000 up.bin"),
            writes ? "213 Modify=20100101000000; up.bin" : kDenied);
  EXPECT_EQ(client_.Command("MDTM up.bin"), writes  ? "213 20100101000000"
                                            : reads ? "550 \"up.bin\": File not found."
                                                    : kDenied);

  // The recorder's exchange: the status document, the dubbing information, a programme.
  got.clear();
  EXPECT_EQ(Transfer("RETR $xml$status.xml", "", &got), kComplete);
  EXPECT_FALSE(got.empty());
  EXPECT_EQ(Transfer("STOR $netdubbing$dubbinginfo.xml",
                     "<dubbinginfo><titlesize>70000</titlesize></dubbinginfo>", &got),
            kComplete);
  std::string stream = PatternBytes(70000, 7);
  stream.replace(132, 6, std::string("POLICY\0", 7), 0, 7);
  EXPECT_EQ(Transfer("STOR $netdubbing$dev0.dat", stream, &got), kComplete);
  EXPECT_TRUE(ReadWholeFile(server_.Folder().PathOf("POLICY.MPG")) == stream);
}

INSTANTIATE_TEST_SUITE_P(EveryPolicy, AccessPolicyTest,
                         ::testing::Values(OrdinaryClientAccess::kFull,
                                           OrdinaryClientAccess::kReadOnly,
                                           OrdinaryClientAccess::kNone));

}  // namespace
}  // namespace testing
}  // namespace kestova
