// The figures and texts of a reception's progress report.
//
// Inputs: T, the bytes received so far; S, the title size announced by the dubbing
// information document, in units of 2048 bytes (0 when unknown); and the milliseconds
// since the reception started. All divisions truncate.
//
//   E (elapsed s)      = (ms + 1) / 1000 + 1, so at least 1
//   R (rate, KiB/s)    = (T / E) / 1024
//   K (received KiB)   = T / 1024;  X (expected KiB) = 2 * S
//   M (remaining s)    = 0 when X <= K, else (X - K) / R
//   received MiB       = T / 1048576;  expected MiB = X / 1024
//   P (percent)        = (T / 2048) / S * 100, in double precision
//
// Two cases have no defined value: M when R is 0 and X > K (less than 1 KiB/s so far),
// and P when S is 0 (no size announced). Their texts are then "--:--" and "--.--":
// the reception goes on, and the row shows that the value is not known.
#pragma once

#include <cstdint>

#include "base/counted_string.h"

namespace kestova {

struct ProgressFigures {
  uint32_t elapsedSeconds = 1;    // E
  uint32_t rateKiBPerSecond = 0;  // R
  uint64_t receivedMiB = 0;
  uint64_t expectedMiB = 0;
  bool remainingKnown = true;
  uint32_t remainingSeconds = 0;  // M, when known
  bool percentageKnown = false;
  double percentage = 0.0;  // P, when known
};

ProgressFigures ComputeProgress(uint64_t receivedBytes, uint64_t titleSize, uint32_t elapsedMs);

// The progress texts the receive lists show.
struct ProgressTexts {
  CCountedString size;        // "%llu/%llu", received and expected MiB
  CCountedString elapsed;     // "%u:%02u", minutes and seconds
  CCountedString percentage;  // "%2.2f"
  CCountedString remaining;   // "%u:%02u", minutes and seconds
  CCountedString rate;        // "%u", KiB per second
};

ProgressTexts FormatProgress(const ProgressFigures& figures);

}  // namespace kestova
