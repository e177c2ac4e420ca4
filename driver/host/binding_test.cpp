// Binding and unbinding, the bind-state and flag rules, status and PnP handling.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "driver_globals.h"
#include "test_support/driver_fixture.h"

namespace kestova {
namespace testing {
namespace {

using standin::AdapterConfig;
using standin::CAdapter;
using standin::CRequest;

OpenContext* ContextOf(CAdapter* adapter) {
  return static_cast<OpenContext*>(adapter->BindingContext());
}

bool OpenListIsEmpty() { return IsListEmpty(&g_globals.OpenList) != 0; }

class BindingTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    baseline_ = standin::Counts();
  }
  // Nothing of a failed binding is left: no context, pools, names or open adapter.
  void ExpectNothingLeftOfBinding() {
    standin::Outstanding now = standin::Counts();
    EXPECT_TRUE(OpenListIsEmpty());
    EXPECT_EQ(now.poolBlocks, baseline_.poolBlocks);
    EXPECT_EQ(now.packetPools, 0);
    EXPECT_EQ(now.bufferPools, 0);
    EXPECT_EQ(now.openBindings, 0);
    EXPECT_EQ(now.configurations, 0);
  }
  standin::Outstanding baseline_;
};

TEST_F(BindingTest, BindingOpensAndConfiguresTheAdapter) {
  CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1);
  ASSERT_TRUE(adapter->IsOpen());
  EXPECT_EQ(adapter->PacketFilter(), 0x80u);  // all local packets
  OpenContext* context = ContextOf(adapter);
  EXPECT_TRUE(TestFlags(context->Flags, kBindStateMask, kBindActive));
  EXPECT_EQ(context->Flags & kMediaDisconnected, 0u);
  EXPECT_EQ(context->PowerState, kPowerStateD0);
  EXPECT_EQ(context->MaxFrameSize, 1500u);
  EXPECT_FALSE(context->RunningOnWin9x);  // "Environment" is 1 on the NT family
  EXPECT_EQ(context->SendBufferPool, nullptr);
  // The packet pools as allocated. The stand-in has no NdisSetPacketPoolProtocolId (NDIS 5.1
  // only), so a driver that marks its send pool with a protocol identifier does not build here.
  UINT descriptors = 0, reserved = 0;
  ASSERT_TRUE(standin::PacketPoolShape(context->SendPacketPool, &descriptors, &reserved));
  EXPECT_EQ(descriptors, 20u + 380u);
  EXPECT_EQ(reserved, 8u);
  ASSERT_TRUE(standin::PacketPoolShape(context->RecvPacketPool, &descriptors, &reserved));
  EXPECT_EQ(descriptors, 4u + 16u);
  EXPECT_EQ(reserved, 12u);
  const uint8_t key[8] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x01, 0, 0};
  EXPECT_EQ(memcmp(context->AdapterKey, key, 8), 0);
}

TEST_F(BindingTest, WithoutTheEnvironmentValueTheWindows9xFlagStaysSet) {
  standin::SetEnvironmentValue(false, 0);
  AdapterConfig config;
  config.mediaConnectStatus = 1;  // disconnected
  CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1, config);
  OpenContext* context = ContextOf(adapter);
  EXPECT_TRUE(context->RunningOnWin9x);
  EXPECT_NE(context->SendBufferPool, nullptr);
  EXPECT_EQ(context->Flags & kMediaDisconnected, kMediaDisconnected);
}

TEST_F(BindingTest, AnAdapterThatIsNot8023IsNotBound) {
  AdapterConfig config;
  config.medium = NdisMediumWan;
  CAdapter* adapter = AddAdapter(u"\\Device\\{WAN}", 1, config);
  EXPECT_EQ(adapter->Bind(), NDIS_STATUS_UNSUPPORTED_MEDIA);
  EXPECT_FALSE(adapter->IsOpen());
  ExpectNothingLeftOfBinding();
}

TEST_F(BindingTest, AnAdapterWhoseAddressCannotBeReadIsNotBound) {
  AdapterConfig config;
  config.failAddressQuery = true;
  config.pendClose = true;
  CAdapter* adapter = AddAdapter(u"\\Device\\{A}", 1, config);
  EXPECT_NE(adapter->Bind(), NDIS_STATUS_SUCCESS);
  EXPECT_FALSE(adapter->IsOpen());
  ExpectNothingLeftOfBinding();
  EXPECT_EQ(
      OpenHandle()->DeviceControl(kIoctlQueryBinding, std::vector<uint8_t>(28, 0), 512)->Status(),
      STATUS_NO_MORE_ENTRIES);
}

TEST_F(BindingTest, AnUnbindRacingAFinishingBindMakesTheBindFail) {
  CAdapter* adapter = nullptr;
  NDIS_STATUS unbindStatus = NDIS_STATUS_FAILURE;
  AdapterConfig config;
  config.onMediaQuery = [&] { unbindStatus = adapter->Unbind(); };
  adapter = AddAdapter(u"\\Device\\{A}", 1, config);
  EXPECT_EQ(adapter->Bind(), NDIS_STATUS_FAILURE);
  EXPECT_EQ(unbindStatus, NDIS_STATUS_SUCCESS);
  EXPECT_FALSE(adapter->IsOpen());
  ExpectNothingLeftOfBinding();
}

TEST_F(BindingTest, AFailedCloseIsReportedAndTheBindingIsStillFreed) {
  for (bool pend : {false, true}) {
    AdapterConfig failing;
    failing.pendClose = pend;
    failing.closeStatus = NDIS_STATUS_FAILURE;
    CAdapter* adapter = BindAdapter(pend ? u"\\Device\\{P}" : u"\\Device\\{S}", 1, failing);
    expectAssertions_ = true;
    EXPECT_EQ(adapter->Unbind(), NDIS_STATUS_SUCCESS);
    adapter->DrainPending();
    std::vector<std::string> reports = standin::AssertionReports();
    ASSERT_EQ(reports.size(), pend ? 2u : 1u);
    EXPECT_NE(reports.back().find("Status == NDIS_STATUS_SUCCESS"), std::string::npos);
    EXPECT_NE(reports.back().find("ndis_bind.cpp"), std::string::npos);
    ExpectNothingLeftOfBinding();
  }
}

TEST_F(BindingTest, UnbindRemovesTheBinding) {
  CAdapter* first = BindAdapter(u"\\Device\\{A}", 1);
  BindAdapter(u"\\Device\\{B}", 2);
  EXPECT_EQ(first->Unbind(), NDIS_STATUS_SUCCESS);
  EXPECT_FALSE(first->IsOpen());
  standin::CHandle* handle = OpenHandle();
  std::unique_ptr<CRequest> query =
      handle->DeviceControl(kIoctlQueryBinding, std::vector<uint8_t>(28, 0), 512);
  ASSERT_EQ(query->Status(), STATUS_SUCCESS);
  BindingInfoHeader info;
  memcpy(&info, query->Buffer().data(), sizeof(info));
  EXPECT_EQ(info.keyHigh, 0x00000244u);  // the second adapter is now binding 0
  std::vector<uint8_t> oid(16, 0);
  const uint8_t address[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x01};
  AdapterKey key = MakeAdapterKey(address);
  memcpy(oid.data(), &key, 8);
  oid[8] = 0x06;
  oid[9] = 0x01;
  oid[10] = 0x01;  // OID_GEN_MAXIMUM_FRAME_SIZE
  EXPECT_EQ(handle->DeviceControl(kIoctlQueryOid, oid, 16)->Status(), STATUS_DEVICE_NOT_READY);
}

TEST_F(BindingTest, UnbindCancelsThePendingReadsOnceWhileTheReaderKeepsReading) {
  CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1);
  standin::CHandle* handle = OpenHandle();
  std::atomic<bool> stop(false);
  std::atomic<int> cancelled(0);
  // Like the capture client: one read pending at all times, re-issued as soon as one ends.
  std::thread reader([&] {
    for (int i = 0; i < 100000 && !stop; ++i) {
      std::unique_ptr<CRequest> read = handle->Read(kCaptureBufferSize);
      // At most 30 s per read: the unbind or the stop flag ends every wait long before.
      for (int waits = 0; waits < 3000 && !read->WaitCompleted(10); ++waits) {
        if (stop) read->Cancel();
      }
      if (read->Status() == STATUS_CANCELLED) ++cancelled;
    }
  });
  // Until the reader's first read is queued (the thread may start late on a busy machine).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (__atomic_load_n(&g_globals.PendedReadCount, __ATOMIC_SEQ_CST) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(adapter->Unbind(), NDIS_STATUS_SUCCESS);  // returns although reads keep coming
  stop = true;
  reader.join();
  EXPECT_GE(cancelled.load(), 1);
}

TEST_F(BindingTest, UnbindWaitsForAnOidRequestInFlight) {
  AdapterConfig config;
  config.pendRequests = true;
  CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1, config);
  adapter->SetQueryValue(0x00010202, {1, 2, 3, 4});
  standin::CHandle* handle = OpenHandle();
  std::vector<uint8_t> oid(16, 0);
  const uint8_t address[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x01};
  AdapterKey key = MakeAdapterKey(address);
  memcpy(oid.data(), &key, 8);
  NDIS_OID code = 0x00010202;
  memcpy(oid.data() + 8, &code, 4);
  std::unique_ptr<CRequest> query;
  std::thread client([&] { query = handle->DeviceControl(kIoctlQueryOid, oid, 16); });
  // Until the client's request has reached the adapter (its thread may start late).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (__atomic_load_n(&ContextOf(adapter)->PendingRequests, __ATOMIC_SEQ_CST) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  // The stand-in reports a fault if the adapter is closed with the request outstanding.
  EXPECT_EQ(adapter->Unbind(), NDIS_STATUS_SUCCESS);
  client.join();
  EXPECT_TRUE(query->Status() == STATUS_SUCCESS || query->Status() == STATUS_DEVICE_NOT_READY);
}

TEST_F(BindingTest, MediaIndicationsCountOnlyInD0) {
  CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1);
  OpenContext* context = ContextOf(adapter);
  adapter->IndicateStatus(NDIS_STATUS_MEDIA_DISCONNECT);
  EXPECT_EQ(context->Flags & kMediaDisconnected, kMediaDisconnected);

  EXPECT_EQ(adapter->IndicatePnP(NetEventSetPower, NetDeviceStateD3), NDIS_STATUS_SUCCESS);
  ULONG before = context->Flags;
  adapter->IndicateStatus(NDIS_STATUS_MEDIA_CONNECT);
  adapter->IndicateStatus(NDIS_STATUS_RESET_START);
  EXPECT_EQ(context->Flags, before);

  EXPECT_EQ(adapter->IndicatePnP(NetEventSetPower, NetDeviceStateD0), NDIS_STATUS_SUCCESS);
  adapter->IndicateStatus(NDIS_STATUS_MEDIA_CONNECT);
  EXPECT_EQ(context->Flags & kMediaDisconnected, 0u);
}

TEST_F(BindingTest, ResetIndicationsSetAndClearTheResetFlag) {
  CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1);
  OpenContext* context = ContextOf(adapter);
  adapter->IndicateStatus(NDIS_STATUS_RESET_START);
  EXPECT_EQ(context->Flags & kResetFlagMask, kResetInProgress);
  adapter->IndicateStatus(NDIS_STATUS_RESET_END);
  EXPECT_EQ(context->Flags & kResetFlagMask, 0u);
  EXPECT_EQ(standin::AssertionReports().size(), 0u);

  expectAssertions_ = true;
  adapter->IndicateStatus(NDIS_STATUS_RESET_END);  // without a start: reported, not stopped
  std::vector<std::string> reports = standin::AssertionReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find(
                "NUIO_TEST_FLAGS(pOpenContext->Flags, RESET_FLAG_MASK, RESET_FLAG_IN_PROGRESS)"),
            std::string::npos);
  EXPECT_NE(reports[0].find("ndis_handlers.cpp"), std::string::npos);
}

TEST_F(BindingTest, PnPEventsAreAnswered) {
  CAdapter* adapter = BindAdapter(u"\\Device\\{A}", 1);
  for (NET_PNP_EVENT_CODE code :
       {NetEventQueryPower, NetEventQueryRemoveDevice, NetEventCancelRemoveDevice,
        NetEventReconfigure, NetEventBindList, NetEventPnPCapabilities}) {
    EXPECT_EQ(adapter->IndicatePnP(code), NDIS_STATUS_SUCCESS) << code;
  }
  EXPECT_EQ(adapter->IndicatePnP(NetEventMaximum), NDIS_STATUS_NOT_SUPPORTED);
}

}  // namespace
}  // namespace testing
}  // namespace kestova
