// Whole command lines out of the bytes of a control connection.
//
// A line ends with CR LF (LF alone is no line end). Bytes are kept across receives
// until their CR LF arrives, so a command split over several TCP segments is read once,
// whole. A line longer than kMaxLineLength is discarded whole, up to and including its
// CR LF, however many receives it spans; memory stays bounded by the longest kept line.
// NUL bytes are ordinary bytes here: a line holding one is reported as such, and the
// lines after it are read as usual.
#pragma once

#include <cstddef>
#include <vector>

#include "base/counted_string.h"

namespace kestova {

class CCommandLineReader {
 public:
  // A line and its CR LF fit in the session's 8192-byte receive buffer.
  static constexpr size_t kMaxLineLength = 8192 - 2;

  enum class Line { kNone, kText, kHoldsNul };

  // Adds the bytes of one receive.
  void Append(const char* bytes, size_t length);
  // Takes the next whole line, without its CR LF, into *line. kNone when no whole line
  // is waiting; kHoldsNul (and *line empty) for a line that holds a NUL byte.
  Line Next(CCountedString* line);

 private:
  std::vector<char> pending_;
  // The bytes in pending_ (up to the next CR LF) belong to a line that is too long.
  bool discarding_ = false;
};

}  // namespace kestova
