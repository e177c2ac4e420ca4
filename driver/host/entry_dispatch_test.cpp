// Driver entry and unload, the control device, and the simple dispatch routines.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "test_support/driver_fixture.h"

namespace kestova {
namespace testing {
namespace {

using standin::CHandle;

class EntryTest : public DriverTest {};

TEST_F(EntryTest, EntryCreatesTheDeviceAndLinkAndRegistersTheProtocol) {
  ULONG type = 0, characteristics = 0, flags = 0;
  ASSERT_TRUE(standin::DeviceExists(&type, &characteristics, &flags));
  EXPECT_EQ(type, 0x12u);
  EXPECT_EQ(characteristics, 0x100u);
  EXPECT_EQ(flags & DO_DIRECT_IO, static_cast<ULONG>(DO_DIRECT_IO));
  EXPECT_TRUE(standin::SymbolicLinkExists());

  const NDIS50_PROTOCOL_CHARACTERISTICS* protocol = standin::RegisteredProtocol();
  ASSERT_NE(protocol, nullptr);
  const NDIS40_PROTOCOL_CHARACTERISTICS& chars = protocol->Ndis40Chars;
  EXPECT_EQ(chars.MajorNdisVersion, 5);
  EXPECT_EQ(chars.MinorNdisVersion, 0);
  EXPECT_EQ(std::u16string(chars.Name.Buffer, chars.Name.Length / 2), u"KESTOVA");
  EXPECT_EQ(chars.Name.Length, 14);
  EXPECT_EQ(chars.Name.MaximumLength, 16);
  EXPECT_NE(chars.ReceivePacketHandler, nullptr);
  EXPECT_NE(chars.TransferDataCompleteHandler, nullptr);
  EXPECT_NE(chars.PnPEventHandler, nullptr);
  EXPECT_EQ(chars.UnloadHandler, nullptr);
}

TEST_F(EntryTest, BannerIsPrintedLineByLine) {
  std::vector<std::string> lines = standin::DebugLines();
  ASSERT_GE(lines.size(), 8u);
  const std::string rule(59, '-');
  EXPECT_EQ(lines[0], "\n");
  EXPECT_EQ(lines[1], rule + "\n\n");
  EXPECT_EQ(lines[2], "  Description : Packet I/O Driver\n");
  // The build date and time as the compiler writes them, e.g. "Dec  7 2026 21:30:54".
  EXPECT_TRUE(
      std::regex_match(lines[3], std::regex("  Date        : [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} "
                                            "[0-9]{2}:[0-9]{2}:[0-9]{2} \n")))
      << lines[3];
  EXPECT_EQ(lines[4], "  Platform    : Windows2K/XP\n");
  EXPECT_EQ(lines[7], rule + "\n");
}

TEST_F(EntryTest, UnloadRemovesEverything) {
  Unload();
  EXPECT_TRUE(standin::NothingOutstanding()) << standin::Describe(standin::Counts());
  EXPECT_FALSE(standin::SymbolicLinkExists());
  EXPECT_EQ(standin::RegisteredProtocol(), nullptr);
}

TEST_F(EntryTest, UnloadUnbindsOpenAdapters) {
  standin::CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1);
  Unload();
  EXPECT_FALSE(adapter->IsOpen());
}

TEST_F(EntryTest, CreateCloseAndWrites) {
  CHandle* handle = OpenHandle();
  for (ULONG length : {0u, 1u, 60u, 1514u}) {
    std::unique_ptr<standin::CRequest> write = handle->Write(length);
    ASSERT_TRUE(write->Completed());
    EXPECT_EQ(write->Status(), STATUS_INVALID_HANDLE);
    EXPECT_EQ(write->Information(), 0u);
  }
  handle->Close();
}

TEST_F(EntryTest, UnknownControlCodeIsNotSupported) {
  CHandle* handle = OpenHandle();
  std::unique_ptr<standin::CRequest> request =
      handle->DeviceControl(MakeControlCode(0x205), std::vector<uint8_t>(28, 0), 28);
  EXPECT_EQ(request->Status(), STATUS_NOT_SUPPORTED);
}

// Entry failures: each undoes what entry had done, and the driver is not loaded.
class EntryFailureTest : public ::testing::Test {
 protected:
  void SetUp() override { standin::ResetWorld(); }
  void TearDown() override {
    standin::ResetWorld();
    EXPECT_TRUE(standin::NothingOutstanding()) << standin::Describe(standin::Counts());
  }
};

TEST_F(EntryFailureTest, DeviceCreationFailureIsReturned) {
  standin::FailIoCreateDevice(STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(standin::LoadDriver(), STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(standin::RegisteredProtocol(), nullptr);
  EXPECT_EQ(standin::Faults(), std::vector<std::string>());
}

TEST_F(EntryFailureTest, LinkFailureDeletesTheDevice) {
  standin::FailIoCreateSymbolicLink(STATUS_OBJECT_NAME_COLLISION);
  EXPECT_EQ(standin::LoadDriver(), STATUS_OBJECT_NAME_COLLISION);
  ULONG type, characteristics, flags;
  EXPECT_FALSE(standin::DeviceExists(&type, &characteristics, &flags));
  EXPECT_EQ(standin::Faults(), std::vector<std::string>());
}

TEST_F(EntryFailureTest, RegistrationFailureRemovesDeviceAndLink) {
  standin::FailNdisRegisterProtocol(NDIS_STATUS_RESOURCES);
  EXPECT_EQ(standin::LoadDriver(), STATUS_UNSUCCESSFUL);
  ULONG type, characteristics, flags;
  EXPECT_FALSE(standin::DeviceExists(&type, &characteristics, &flags));
  EXPECT_FALSE(standin::SymbolicLinkExists());
  EXPECT_EQ(standin::Faults(), std::vector<std::string>());
}

}  // namespace
}  // namespace testing
}  // namespace kestova
