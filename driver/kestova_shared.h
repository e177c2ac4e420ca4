// The interface between KESTOVA.SYS and the program's capture client: control codes, their
// buffers, the adapter key and the captured-frame record. Every field is an unsigned 32-bit
// little-endian value; the layouts below are the byte layouts on the wire between kernel and user
// mode (both sides run on little-endian x86), and the static_asserts pin every offset and size.
//
// This header is used by the kernel driver (freestanding C++) and by ordinary user-mode C++, so it
// includes only <stddef.h> and <stdint.h>.
#ifndef KESTOVA_DRIVER_KESTOVA_SHARED_H_
#define KESTOVA_DRIVER_KESTOVA_SHARED_H_

#include <stddef.h>
#include <stdint.h>

namespace kestova {

// Name of the kernel service and of the device as user mode opens it ("\\.\KESTOVA").
constexpr char kDriverServiceName[] = "KESTOVA";
constexpr char kDriverUserDevicePath[] = "\\\\.\\KESTOVA";

// Device-control codes: METHOD_BUFFERED, device type FILE_DEVICE_NETWORK (0x12), access
// FILE_READ_DATA | FILE_WRITE_DATA.
constexpr uint32_t kDriverDeviceType = 0x12;
constexpr uint32_t MakeControlCode(uint32_t function) {
  return (kDriverDeviceType << 16) | (3u << 14) | (function << 2) | 0u;
}
constexpr uint32_t kIoctlQueryOid = MakeControlCode(0x201);        // query an adapter's OID
constexpr uint32_t kIoctlSetOid = MakeControlCode(0x202);          // set an adapter's OID
constexpr uint32_t kIoctlQueryBinding = MakeControlCode(0x203);    // the n-th active binding
constexpr uint32_t kIoctlWaitForBinding = MakeControlCode(0x204);  // wait for binds complete
static_assert(kIoctlQueryOid == 0x0012C804u, "query-OID code");
static_assert(kIoctlSetOid == 0x0012C808u, "set-OID code");
static_assert(kIoctlQueryBinding == 0x0012C80Cu, "query-binding code");
static_assert(kIoctlWaitForBinding == 0x0012C810u, "wait-for-binding code");

// Adapter key: the adapter's current Ethernet address followed by two zero bytes, handled as
// two little-endian words (low = address bytes 0-3, high = address bytes 4-5 and the zeros).
struct AdapterKey {
  uint32_t low;
  uint32_t high;
};
static_assert(sizeof(AdapterKey) == 8, "adapter key size");
static_assert(offsetof(AdapterKey, low) == 0 && offsetof(AdapterKey, high) == 4, "key words");

constexpr size_t kEthernetAddressLength = 6;

// Builds the key of an adapter from its 6-byte Ethernet address.
inline AdapterKey MakeAdapterKey(const uint8_t* address) {
  AdapterKey key;
  key.low = static_cast<uint32_t>(address[0]) | (static_cast<uint32_t>(address[1]) << 8) |
            (static_cast<uint32_t>(address[2]) << 16) | (static_cast<uint32_t>(address[3]) << 24);
  key.high = static_cast<uint32_t>(address[4]) | (static_cast<uint32_t>(address[5]) << 8);
  return key;
}

// Writes the 6-byte Ethernet address held in a key.
inline void AdapterKeyToAddress(AdapterKey key, uint8_t* address) {
  for (int i = 0; i < 4; ++i) address[i] = static_cast<uint8_t>(key.low >> (8 * i));
  address[4] = static_cast<uint8_t>(key.high);
  address[5] = static_cast<uint8_t>(key.high >> 8);
}

// Captured-frame record: this header, then `length` bytes of the frame from the first byte of
// the Ethernet header. Records are packed back to back with no alignment between them; the next
// record starts at offset kCapturedFrameHeaderSize + length. The reserved bytes are not written by
// the driver and must be ignored.
struct CapturedFrameHeader {
  uint32_t sequence;  // 0 for the first record after load, then +1 per record (wraps)
  uint32_t keyLow;    // adapter key of the receiving adapter
  uint32_t keyHigh;
  uint32_t length;  // frame length N in bytes
  uint8_t reserved[20];
};
constexpr size_t kCapturedFrameHeaderSize = 36;
static_assert(sizeof(CapturedFrameHeader) == kCapturedFrameHeaderSize, "record header size");
static_assert(offsetof(CapturedFrameHeader, sequence) == 0, "record sequence offset");
static_assert(offsetof(CapturedFrameHeader, keyLow) == 4, "record key low offset");
static_assert(offsetof(CapturedFrameHeader, keyHigh) == 8, "record key high offset");
static_assert(offsetof(CapturedFrameHeader, length) == 12, "record length offset");
static_assert(offsetof(CapturedFrameHeader, reserved) == 16, "record reserved offset");

// Capture buffer: its storage size and the most it ever holds (a read of kCaptureBufferSize bytes
// therefore always receives everything buffered).
constexpr uint32_t kCaptureBufferSize = 65536;
constexpr uint32_t kCaptureBufferLimit = kCaptureBufferSize - 100;
static_assert(kCaptureBufferLimit == 65436, "capture limit");

// Query/set OID buffer: this header, then the OID's data. Input and output share the buffer.
struct OidRequestHeader {
  uint32_t keyLow;
  uint32_t keyHigh;
  uint32_t oid;
};
constexpr size_t kOidRequestDataOffset = 12;
constexpr size_t kOidRequestMinimumLength = 16;  // shortest buffer accepted by query and set
static_assert(sizeof(OidRequestHeader) == kOidRequestDataOffset, "OID header size");
static_assert(offsetof(OidRequestHeader, keyLow) == 0, "OID key low offset");
static_assert(offsetof(OidRequestHeader, keyHigh) == 4, "OID key high offset");
static_assert(offsetof(OidRequestHeader, oid) == 8, "OID offset");

// Query-binding: the input starts with the binding index n (from 0) and must be at least
// kBindingInfoHeaderSize long; the output is this header followed by the device name and the
// adapter description, both UTF-16 and zero-padded to their reported lengths.
struct BindingInfoHeader {
  uint32_t index;
  uint32_t keyLow;
  uint32_t keyHigh;
  uint32_t deviceNameOffset;   // always kBindingInfoHeaderSize
  uint32_t deviceNameLength;   // bytes
  uint32_t descriptionOffset;  // kBindingInfoHeaderSize + deviceNameLength
  uint32_t descriptionLength;  // bytes
};
constexpr size_t kBindingInfoHeaderSize = 28;
static_assert(sizeof(BindingInfoHeader) == kBindingInfoHeaderSize, "binding header size");
static_assert(offsetof(BindingInfoHeader, index) == 0, "binding index offset");
static_assert(offsetof(BindingInfoHeader, keyLow) == 4, "binding key low offset");
static_assert(offsetof(BindingInfoHeader, keyHigh) == 8, "binding key high offset");
static_assert(offsetof(BindingInfoHeader, deviceNameOffset) == 12, "name offset offset");
static_assert(offsetof(BindingInfoHeader, deviceNameLength) == 16, "name length offset");
static_assert(offsetof(BindingInfoHeader, descriptionOffset) == 20, "description offset offset");
static_assert(offsetof(BindingInfoHeader, descriptionLength) == 24, "description length offset");

}  // namespace kestova

#endif  // KESTOVA_DRIVER_KESTOVA_SHARED_H_
