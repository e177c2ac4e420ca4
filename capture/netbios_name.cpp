#include "capture/netbios_name.h"

#include <cstring>

namespace kestova {

CCountedString DecodeNetbiosName(const uint8_t* encoded, size_t count) {
  CCountedString decoded;
  for (size_t index = 0; index < count; index += 2) {
    const uint8_t high = static_cast<uint8_t>((encoded[index] - 1) & 0x0F);
    const uint8_t low = static_cast<uint8_t>((encoded[index + 1] - 1) & 0x0F);
    decoded.AppendChar(static_cast<char>((high << 4) | low));
  }
  return decoded;
}

CCountedString EncodeNetbiosName(const CCountedString& name) {
  CCountedString encoded;
  for (size_t i = 0; i < name.Length(); ++i) {
    const unsigned char byte = name.ByteAt(i);
    encoded.AppendChar(static_cast<char>('A' + (byte >> 4)));
    encoded.AppendChar(static_cast<char>('A' + (byte & 0x0F)));
  }
  return encoded;
}

CCountedString PadNetbiosName(const CCountedString& name) {
  CCountedString padded = name;
  padded.Append("                ");  // 16 spaces
  return padded.Left(kNetbiosNameLength);
}

void SetNetbiosName(uint8_t* destination, const CCountedString& name) {
  const CCountedString encoded = EncodeNetbiosName(PadNetbiosName(name));
  std::memcpy(destination, encoded.CStr(), kEncodedNetbiosNameLength);
}

}  // namespace kestova
