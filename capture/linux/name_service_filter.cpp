#include "capture/linux/name_service_filter.h"

#include <cstdint>

namespace kestova {
namespace {

// Jump offsets count instructions after the jump; every failed test jumps to kDrop.
constexpr uint16_t kLoadHalf = BPF_LD | BPF_H | BPF_ABS;
constexpr uint16_t kLoadByte = BPF_LD | BPF_B | BPF_ABS;
constexpr uint16_t kJumpIfEqual = BPF_JMP | BPF_JEQ | BPF_K;
constexpr uint16_t kReturn = BPF_RET | BPF_K;

sock_filter kProgram[] = {
    {kLoadHalf, 0, 0, 12},          // 0: Ethernet type
    {kJumpIfEqual, 0, 10, 0x0800},  // 1: IPv4, else drop
    {kLoadByte, 0, 0, 14},          // 2: version and header length
    {kJumpIfEqual, 0, 8, 0x45},     // 3: version 4, 20-byte header
    {kLoadByte, 0, 0, 15},          // 4: type of service
    {kJumpIfEqual, 0, 6, 0},        // 5: 0
    {kLoadByte, 0, 0, 23},          // 6: protocol
    {kJumpIfEqual, 0, 4, 17},       // 7: UDP
    {kLoadHalf, 0, 0, 34},          // 8: source port
    {kJumpIfEqual, 0, 2, 137},      // 9: 137
    {kLoadHalf, 0, 0, 36},          // 10: destination port
    {kJumpIfEqual, 1, 0, 137},      // 11: 137 -> keep
    {kReturn, 0, 0, 0},             // 12: drop
    {kReturn, 0, 0, 0x40000},       // 13: keep the whole frame
};

}  // namespace

sock_fprog NameServiceFilter() {
  sock_fprog program;
  program.len = static_cast<unsigned short>(sizeof(kProgram) / sizeof(kProgram[0]));
  program.filter = kProgram;
  return program;
}

}  // namespace kestova
