// The device-control operations: wait for binding, query binding, query and set OID, and the
// status each completes with.
#include <gtest/gtest.h>
#include <string.h>

#include <chrono>
#include <thread>

#include "driver_globals.h"
#include "test_support/driver_fixture.h"

namespace kestova {
namespace testing {
namespace {

using standin::CRequest;

std::vector<uint8_t> OidBuffer(const uint8_t address[6], NDIS_OID oid, size_t dataLength) {
  AdapterKey key = MakeAdapterKey(address);
  std::vector<uint8_t> buffer(kOidRequestDataOffset + dataLength, 0);
  OidRequestHeader header{key.low, key.high, oid};
  memcpy(buffer.data(), &header, sizeof(header));
  return buffer;
}

std::vector<uint8_t> IndexBuffer(uint32_t index) {
  std::vector<uint8_t> buffer(kBindingInfoHeaderSize, 0);
  memcpy(buffer.data(), &index, 4);
  return buffer;
}

class DeviceControlTest : public DriverTest {
 protected:
  const uint8_t address_[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x01};
};

TEST_F(DeviceControlTest, WaitForBindingReturnsAtOnceAfterBindsComplete) {
  EXPECT_EQ(standin::IndicateGlobalPnP(NetEventBindsComplete), NDIS_STATUS_SUCCESS);
  std::unique_ptr<CRequest> wait = OpenHandle()->DeviceControl(kIoctlWaitForBinding, {}, 0);
  ASSERT_TRUE(wait->Completed());
  EXPECT_EQ(wait->Status(), STATUS_SUCCESS);
  EXPECT_EQ(wait->Information(), 0u);
}

TEST_F(DeviceControlTest, BindsCompleteReleasesAWaitingCall) {
  standin::CHandle* handle = OpenHandle();
  std::unique_ptr<CRequest> wait;
  std::thread waiter([&] { wait = handle->DeviceControl(kIoctlWaitForBinding, {}, 0); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  standin::IndicateGlobalPnP(NetEventBindsComplete);
  waiter.join();
  EXPECT_EQ(wait->Status(), STATUS_SUCCESS);
}

// Takes five seconds: the wait is bounded at 5000 ms.
TEST_F(DeviceControlTest, WaitForBindingTimesOutWithoutBindsComplete) {
  std::unique_ptr<CRequest> wait = OpenHandle()->DeviceControl(kIoctlWaitForBinding, {}, 0);
  EXPECT_EQ(wait->Status(), STATUS_IO_TIMEOUT);
  EXPECT_EQ(wait->Information(), 0u);
  // The event stays usable: binds complete later still releases the next wait.
  standin::IndicateGlobalPnP(NetEventBindsComplete);
  EXPECT_EQ(OpenHandle()->DeviceControl(kIoctlWaitForBinding, {}, 0)->Status(), STATUS_SUCCESS);
}

TEST_F(DeviceControlTest, QueryBindingWithoutBindingsHasNoMoreEntries) {
  std::unique_ptr<CRequest> query =
      OpenHandle()->DeviceControl(kIoctlQueryBinding, IndexBuffer(0), 1024);
  EXPECT_EQ(query->Status(), STATUS_NO_MORE_ENTRIES);
  EXPECT_EQ(query->Information(), 0u);
}

TEST_F(DeviceControlTest, QueryBindingListsBindingsInBindOrder) {
  standin::AdapterConfig second;
  second.instanceName = std::u16string(32, u'x');  // 64 bytes: stored in 128
  BindAdapter(u"\\Device\\{FIRST}", 1);
  BindAdapter(u"\\Device\\{SECOND}", 2, second);
  standin::CHandle* handle = OpenHandle();

  for (uint32_t index = 0; index < 2; ++index) {
    std::unique_ptr<CRequest> query =
        handle->DeviceControl(kIoctlQueryBinding, IndexBuffer(index), 1024);
    ASSERT_EQ(query->Status(), STATUS_SUCCESS);
    BindingInfoHeader info;
    memcpy(&info, query->Buffer().data(), sizeof(info));
    EXPECT_EQ(info.index, index);
    uint8_t address[6] = {0x00, 0x11, 0x22, 0x33, 0x44, static_cast<uint8_t>(index + 1)};
    EXPECT_EQ(info.keyLow, MakeAdapterKey(address).low);
    EXPECT_EQ(info.keyHigh, MakeAdapterKey(address).high);
    EXPECT_EQ(info.deviceNameOffset, 28u);
    EXPECT_EQ(info.deviceNameLength, 64u);  // "\Device\{FIRST}" is 30 bytes
    EXPECT_EQ(info.descriptionOffset, 28u + info.deviceNameLength);
    EXPECT_EQ(info.descriptionLength, index == 0 ? 64u : 128u);
    EXPECT_EQ(query->Information(), 28u + info.deviceNameLength + info.descriptionLength);
    std::u16string name(reinterpret_cast<const char16_t*>(query->Buffer().data() + 28),
                        info.deviceNameLength / 2);
    EXPECT_EQ(name.c_str(),
              std::u16string(index == 0 ? u"\\Device\\{FIRST}" : u"\\Device\\{SECOND}"));
    // Zero bytes fill the stored string up to its reported length.
    EXPECT_EQ(name.back(), u'\0');
  }
  std::unique_ptr<CRequest> past = handle->DeviceControl(kIoctlQueryBinding, IndexBuffer(2), 1024);
  EXPECT_EQ(past->Status(), STATUS_NO_MORE_ENTRIES);
}

TEST_F(DeviceControlTest, QueryBindingChecksItsBuffers) {
  BindAdapter(u"\\Device\\{A}", 1);
  standin::CHandle* handle = OpenHandle();
  // Input shorter than 28 bytes.
  EXPECT_EQ(handle->DeviceControl(kIoctlQueryBinding, std::vector<uint8_t>(4, 0), 1024)->Status(),
            STATUS_INSUFFICIENT_RESOURCES);
  // Output shorter than the header, or than header and both names (28 + 64 + 64).
  EXPECT_EQ(handle->DeviceControl(kIoctlQueryBinding, IndexBuffer(0), 27)->Status(),
            STATUS_BUFFER_OVERFLOW);
  EXPECT_EQ(handle->DeviceControl(kIoctlQueryBinding, IndexBuffer(0), 155)->Status(),
            STATUS_BUFFER_OVERFLOW);
  EXPECT_EQ(handle->DeviceControl(kIoctlQueryBinding, IndexBuffer(0), 156)->Status(),
            STATUS_SUCCESS);
}

TEST_F(DeviceControlTest, QueryOidReturnsTheValueAndItsLengthPlusTwelve) {
  standin::CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1);
  adapter->SetQueryValue(0x00010202, {1, 2, 3, 4, 5, 6, 7, 8});
  std::unique_ptr<CRequest> query =
      OpenHandle()->DeviceControl(kIoctlQueryOid, OidBuffer(address_, 0x00010202, 20), 32);
  ASSERT_EQ(query->Status(), STATUS_SUCCESS);
  EXPECT_EQ(query->Information(), 12u + 8u);
  EXPECT_EQ(std::vector<uint8_t>(query->Buffer().begin() + 12, query->Buffer().begin() + 20),
            std::vector<uint8_t>({1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(DeviceControlTest, QueryOidNeedsSixteenBytesOfOutput) {
  BindAdapter(u"\\Device\\{A}", 1);
  std::unique_ptr<CRequest> query =
      OpenHandle()->DeviceControl(kIoctlQueryOid, OidBuffer(address_, 0x00010106, 4), 15);
  EXPECT_EQ(query->Status(), STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(query->Information(), 0u);
}

TEST_F(DeviceControlTest, UnknownKeyIsNotReady) {
  BindAdapter(u"\\Device\\{A}", 1);
  const uint8_t other[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x77};
  standin::CHandle* handle = OpenHandle();
  EXPECT_EQ(handle->DeviceControl(kIoctlQueryOid, OidBuffer(other, 0x00010106, 4), 16)->Status(),
            STATUS_DEVICE_NOT_READY);
  EXPECT_EQ(handle->DeviceControl(kIoctlSetOid, OidBuffer(other, 0x01010103, 6), 0)->Status(),
            STATUS_DEVICE_NOT_READY);
  // The adapter is looked up before the OID is judged.
  EXPECT_EQ(handle->DeviceControl(kIoctlSetOid, OidBuffer(other, 0x0001010E, 4), 0)->Status(),
            STATUS_DEVICE_NOT_READY);
}

TEST_F(DeviceControlTest, SetOidAcceptsOnlyTheSettableOids) {
  standin::CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1);
  standin::CHandle* handle = OpenHandle();
  std::vector<uint8_t> set = OidBuffer(address_, 0x0001010E, 4);  // the packet filter
  set[12] = 0xFF;
  std::unique_ptr<CRequest> refused = handle->DeviceControl(kIoctlSetOid, set, 0);
  EXPECT_EQ(refused->Status(), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(adapter->PacketFilter(), 0x80u);

  std::vector<uint8_t> multicast = OidBuffer(address_, 0x01010103, 6);
  for (int i = 0; i < 6; ++i) multicast[12 + i] = static_cast<uint8_t>(0x01 + i);
  std::unique_ptr<CRequest> accepted = handle->DeviceControl(kIoctlSetOid, multicast, 0);
  EXPECT_EQ(accepted->Status(), STATUS_SUCCESS);
  EXPECT_EQ(accepted->Information(), 0u);
  EXPECT_EQ(adapter->OidValue(0x01010103), std::vector<uint8_t>({1, 2, 3, 4, 5, 6}));

  std::vector<uint8_t> ssid = OidBuffer(address_, 0x0D010102, 36);
  EXPECT_EQ(handle->DeviceControl(kIoctlSetOid, ssid, 0)->Status(), STATUS_SUCCESS);
  EXPECT_EQ(adapter->OidValue(0x0D010102).size(), 36u);

  EXPECT_EQ(handle->DeviceControl(kIoctlSetOid, std::vector<uint8_t>(15, 0), 0)->Status(),
            STATUS_BUFFER_TOO_SMALL);
}

TEST_F(DeviceControlTest, OidRequestsWorkWhenTheAdapterCompletesLater) {
  standin::AdapterConfig pending;
  pending.pendRequests = true;
  pending.pendOpen = true;
  pending.pendClose = true;
  standin::CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1, pending);
  adapter->SetQueryValue(0x00010202, {9, 8, 7, 6});
  std::unique_ptr<CRequest> query =
      OpenHandle()->DeviceControl(kIoctlQueryOid, OidBuffer(address_, 0x00010202, 4), 16);
  EXPECT_EQ(query->Status(), STATUS_SUCCESS);
  EXPECT_EQ(query->Information(), 16u);
}

TEST(StatusMappingTest, AdapterOperationResultsBecomeRequestStatuses) {
  struct Case {
    uint32_t result;
    uint32_t status;
  };
  const Case cases[] = {
      {0x00000000, 0x00000000}, {0x00000103, 0x00000103}, {0x80000005, 0x80000005},
      {0xC0000001, 0xC0000001}, {0xC000009A, 0xC000009A}, {0xC00000BB, 0xC00000BB},
      {0xC0010006, 0x8000001A}, {0xC0010011, 0xC00000A3}, {0xC0010014, 0xC0000206},
      {0xC0010015, 0xC000000D}, {0xC0010016, 0xC0000023}, {0xC0010017, 0xC0000001},
      {0xC0010019, 0xC0000001}, {0x00010003, 0xC0000001}};
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<uint32_t>(MapOperationStatus(static_cast<NDIS_STATUS>(c.result))),
              c.status)
        << std::hex << c.result;
  }
}

}  // namespace
}  // namespace testing
}  // namespace kestova
