// A test fixture with an in-process FTP service and a raw client logged in to it as
// anonymous before each test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ftp/test_support/raw_ftp_client.h"
#include "ftp/test_support/test_ftp_server.h"

namespace kestova {
namespace testing {

class LoggedInFtpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    ASSERT_TRUE(client_.ConnectAndLogin(server_.Port()));
  }
  // The path of `relative` in the served folder.
  CCountedString Local(const std::string& relative) const {
    return server_.Folder().PathOf(relative);
  }

  CTestFtpServer server_;
  CRawFtpClient client_;
};

}  // namespace testing
}  // namespace kestova
