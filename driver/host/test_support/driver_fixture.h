// Fixture and frame builders for the driver's tests through the kernel and NDIS stand-in.
#ifndef KESTOVA_DRIVER_HOST_TEST_SUPPORT_DRIVER_FIXTURE_H_
#define KESTOVA_DRIVER_HOST_TEST_SUPPORT_DRIVER_FIXTURE_H_

#include <gtest/gtest.h>
#include <stdint.h>

#include <memory>
#include <vector>

#include "kernel_standin_control.h"
#include "kestova_shared.h"

namespace kestova {
namespace testing {

// A NetBIOS name service frame (IPv4, UDP 137 -> 137) of `length` bytes (at least 42); the bytes
// after the UDP header carry `tag` and a pattern derived from it.
std::vector<uint8_t> NameServiceFrame(size_t length, uint32_t tag = 0);
// Whether `frame` is NameServiceFrame(frame.size(), tag) for the tag it carries; *tag receives it.
bool IsIntactFrame(const uint8_t* frame, size_t length, uint32_t* tag);

struct Record {
  uint32_t sequence;
  uint32_t keyLow;
  uint32_t keyHigh;
  std::vector<uint8_t> frame;
};
// Splits a read stream into records; false if it ends inside one.
bool ParseRecords(const std::vector<uint8_t>& stream, size_t length, std::vector<Record>* records);

AdapterKey KeyOf(const uint8_t address[6]);

// Loads the driver in SetUp; in TearDown closes the handles, unloads, destroys the adapters and
// checks that the stand-in saw no fault, nothing is left allocated and no assertion was reported.
class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A simulated adapter with the given name and address (other settings from `config`).
  standin::CAdapter* AddAdapter(standin::AdapterConfig config = standin::AdapterConfig());
  standin::CAdapter* AddAdapter(const char16_t* name, uint8_t lastAddressByte,
                                standin::AdapterConfig config = standin::AdapterConfig());
  // Adds and binds an adapter; fails the test if binding fails.
  standin::CAdapter* BindAdapter(const char16_t* name, uint8_t lastAddressByte,
                                 standin::AdapterConfig config = standin::AdapterConfig());
  standin::CHandle* OpenHandle();
  // Reads everything buffered with a full-size read; the records it held.
  std::vector<Record> ReadAll();

  void Unload();  // for tests that unload themselves

  bool expectAssertions_ = false;
  bool loaded_ = false;
  std::vector<std::unique_ptr<standin::CAdapter>> adapters_;
  std::vector<std::unique_ptr<standin::CHandle>> handles_;
};

}  // namespace testing
}  // namespace kestova

#endif  // KESTOVA_DRIVER_HOST_TEST_SUPPORT_DRIVER_FIXTURE_H_
