// The capture client against the Service Control Manager and the registry of this test's own
// Wine prefix: synthetic adapter keys under the network class key, a missing KESTOVA.SYS, and
// the amd64 KESTOVA.SYS, which Wine loads but cannot start (its NDIS cannot register protocols).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capture/win32/binding_list_update.h"
#include "capture/win32/capture_client.h"
#include "capture/win32/driver_identity.h"
#include "capture/win32/service_manager.h"
#include "driver/kestova_shared.h"

namespace kestova {
namespace {

struct Value {
  bool exists = false;
  DWORD type = 0;
  std::string bytes;
  bool operator==(const Value& other) const {
    return exists == other.exists && type == other.type && bytes == other.bytes;
  }
};

void PrintTo(const Value& value, std::ostream* out) {
  if (!value.exists) {
    *out << "(missing)";
    return;
  }
  *out << "type " << value.type << " \"";
  for (char c : value.bytes) {
    if (c == '\0') {
      *out << "\\0";
    } else {
      *out << c;
    }
  }
  *out << "\"";
}

Value Multi(const char* bytes, size_t size) { return Value{true, REG_MULTI_SZ, {bytes, size}}; }
Value Single(const char* text) { return Value{true, REG_SZ, std::string(text) + '\0'}; }

std::string LinkagePath(const char* adapter) {
  return std::string(kNetworkClassKey) + "\\" + adapter + "\\Linkage";
}

void WriteValue(const char* adapter, const char* name, const Value& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, LinkagePath(adapter).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(
      RegSetValueExA(key, name, 0, value.type, reinterpret_cast<const BYTE*>(value.bytes.data()),
                     static_cast<DWORD>(value.bytes.size())),
      ERROR_SUCCESS);
  RegCloseKey(key);
}

Value ReadValue(const char* adapter, const char* name) {
  Value value;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, LinkagePath(adapter).c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return value;
  }
  std::vector<char> buffer(4096);
  DWORD size = static_cast<DWORD>(buffer.size());
  if (RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(buffer.data()),
                       &size) == ERROR_SUCCESS) {
    value.exists = true;
    value.bytes.assign(buffer.data(), size);
  }
  RegCloseKey(key);
  return value;
}

// A list longer than the 1024-byte buffer.
Value LongList() {
  std::string bytes;
  for (int i = 0; bytes.size() < 1100; ++i) bytes += "Protocol" + std::to_string(i) + '\0';
  bytes += '\0';
  return Value{true, REG_MULTI_SZ, bytes};
}

// The adapters of the test, with their "UpperBind" after adding and after removing again.
struct Adapter {
  const char* key;
  Value rootDevice;
  Value upperBind;
  Value afterAdd;
  Value afterRemove;
};

std::vector<Adapter> Adapters() {
  const Value oneRoot = Multi("{11111111-0000-0000-0000-000000000001}\0\0", 40);
  const Value tcpip = Multi("Tcpip\0\0", 7);
  return {
      {"9101", oneRoot, tcpip, Multi("KESTOVA\0Tcpip\0\0", 15), tcpip},
      {"9102", oneRoot, Multi("Tcpip\0KESTOVA\0NetBT\0\0", 21),
       Multi("KESTOVA\0Tcpip\0NetBT\0\0", 21), Multi("Tcpip\0NetBT\0\0", 13)},
      {"9103", Multi("{A}\0{B}\0\0", 9), tcpip, tcpip, tcpip},  // two root devices
      {"9104", Single("{C}"), Single("Tcpip"), Multi("KESTOVA\0Tcpip\0\0", 15), tcpip},
      {"9105", oneRoot, LongList(), LongList(), LongList()},  // does not fit the buffer
      {"9106", oneRoot, Multi("kestova\0\0", 9), Multi("KESTOVA\0\0", 9), Multi("\0", 1)},
  };
}

void WriteAdapters() {
  for (const Adapter& adapter : Adapters()) {
    WriteValue(adapter.key, "RootDevice", adapter.rootDevice);
    WriteValue(adapter.key, "UpperBind", adapter.upperBind);
  }
}

// Every adapter's "UpperBind" is `expected` (a member pointer into Adapter) and every
// "RootDevice" is untouched.
void ExpectAdapters(Value Adapter::*expected, const char* when) {
  for (const Adapter& adapter : Adapters()) {
    EXPECT_EQ(ReadValue(adapter.key, "UpperBind"), adapter.*expected)
        << when << ": adapter " << adapter.key;
    EXPECT_EQ(ReadValue(adapter.key, "RootDevice"), adapter.rootDevice)
        << when << ": adapter " << adapter.key;
  }
}

// ERROR_SUCCESS when the service exists, else why it cannot be opened.
DWORD ServiceState() {
  const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return GetLastError();
  const SC_HANDLE service = OpenServiceA(manager, kDriverServiceName, SERVICE_ALL_ACCESS);
  const DWORD state = service != nullptr ? ERROR_SUCCESS : GetLastError();
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return state;
}

std::string ScratchFolder(const char* name) {
  std::string folder = std::string("C:\\kestova-capture-test\\") + name + "\\";
  CreateDirectoryA("C:\\kestova-capture-test", nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  DeleteFileA((folder + "KESTOVA.SYS").c_str());
  return folder;
}

class CaptureClientServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ServiceState(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST))
        << "the prefix holds a KESTOVA service from an earlier run";
    WriteAdapters();
  }
  void TearDown() override {
    CServiceManager manager(kDriverServiceName);
    if (manager.Open()) manager.Delete();
  }
};

TEST_F(CaptureClientServiceTest, StartWithoutTheDriverFileReturns1AndChangesNothing) {
  CCaptureClient client(ScratchFolder("missing").c_str());
  EXPECT_STREQ(client.DriverPath(), "");
  EXPECT_EQ(client.Start(), CCaptureClient::kDriverFileMissing);
  EXPECT_EQ(ServiceState(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  ExpectAdapters(&Adapter::upperBind, "after the failed start");
  EXPECT_FALSE(client.ReaderRunning());
}

TEST_F(CaptureClientServiceTest, AReplacedDriverFileReturns6AndInstallsNothing) {
  const std::string folder = ScratchFolder("altered");
  const std::string file = folder + "KESTOVA.SYS";
  FILE* out = std::fopen(file.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fputs("abc", out);
  std::fclose(out);
  // SHA-1 of "abc", the standard's own example.
  EXPECT_EQ(DriverFileIdentity(file.c_str()), "3 a9993e364706816aba3e25717850c26c9cd0d89d");
  for (CCaptureClient::Method method : {CCaptureClient::Method::kDriver, CCaptureClient::Method::kAuto}) {
    CCaptureClient client(folder.c_str());
    client.SetMethod(method);
    client.SetDriverIdentity("3 0000000000000000000000000000000000000000");
    EXPECT_EQ(client.Start(), CCaptureClient::kDriverFileAltered);
    EXPECT_EQ(ServiceState(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    ExpectAdapters(&Adapter::upperBind, "after the refused start");
    EXPECT_FALSE(client.ReaderRunning());
  }
}

TEST_F(CaptureClientServiceTest, AddAndRemoveGiveTheDescribedListsAndLeaveTheOthersAlone) {
  UpdateBindingLists(kDriverServiceName, true);
  ExpectAdapters(&Adapter::afterAdd, "after adding");
  UpdateBindingLists(kDriverServiceName, true);
  ExpectAdapters(&Adapter::afterAdd, "after adding twice");
  UpdateBindingLists(kDriverServiceName, false);
  ExpectAdapters(&Adapter::afterRemove, "after removing");
}

TEST_F(CaptureClientServiceTest, RemovingFromAListWithoutTheServiceKeepsItsBytesAndType) {
  UpdateBindingLists(kDriverServiceName, false);
  for (const Adapter& adapter : Adapters()) {
    // 9102 and 9106 name the service (so they lose it); the others stay byte for byte, the
    // REG_SZ list of 9104 included.
    const bool named = adapter.key == std::string("9102") || adapter.key == std::string("9106");
    EXPECT_EQ(ReadValue(adapter.key, "UpperBind"), named ? adapter.afterRemove : adapter.upperBind)
        << "adapter " << adapter.key;
  }
}

TEST_F(CaptureClientServiceTest, StopWithoutAReaderStillStopsDeletesAndCleans) {
  {
    CServiceManager manager(kDriverServiceName);
    ASSERT_TRUE(manager.Open());
    ASSERT_TRUE(manager.Create("Kestov-A Packet Capture Driver", "C:\\nowhere\\KESTOVA.SYS"));
  }
  UpdateBindingLists(kDriverServiceName, true);
  ASSERT_EQ(ServiceState(), static_cast<DWORD>(ERROR_SUCCESS));
  CCaptureClient client(ScratchFolder("stop").c_str());
  EXPECT_EQ(client.Stop(), CCaptureClient::kRunning);
  EXPECT_EQ(ServiceState(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  ExpectAdapters(&Adapter::afterRemove, "after stop");
}

TEST_F(CaptureClientServiceTest, TheAmd64DriverIsInstalledFailsToStartUnderWineAndIsRemoved) {
  const char* image = KESTOVA_TEST_DRIVER_IMAGE;  // a Linux path: Z: in Wine
  std::string source = std::string("Z:") + image;
  for (char& c : source) {
    if (c == '/') c = '\\';
  }
  const std::string folder = ScratchFolder("amd64");
  if (GetFileAttributesA(source.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "the amd64 KESTOVA.SYS has not been built: " << image;
  }
  ASSERT_TRUE(CopyFileA(source.c_str(), (folder + "KESTOVA.SYS").c_str(), FALSE));

  CCaptureClient client(folder.c_str());
  ASSERT_STRNE(client.DriverPath(), "");
  EXPECT_EQ(client.Start(), CCaptureClient::kServiceNotStarted);
  EXPECT_EQ(ServiceState(), static_cast<DWORD>(ERROR_SUCCESS));
  ExpectAdapters(&Adapter::afterAdd, "after the failed start");
  EXPECT_FALSE(client.ReaderRunning());

  EXPECT_EQ(client.Stop(), CCaptureClient::kRunning);
  EXPECT_EQ(ServiceState(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  ExpectAdapters(&Adapter::afterRemove, "after stop");
}

}  // namespace
}  // namespace kestova
