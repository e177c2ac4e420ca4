#include "ftp/command_line_reader.h"

#include <algorithm>
#include <cstring>

namespace kestova {

void CCommandLineReader::Append(const char* bytes, size_t length) {
  pending_.insert(pending_.end(), bytes, bytes + length);
}

CCommandLineReader::Line CCommandLineReader::Next(CCountedString* line) {
  // Recorder quirk kept on purpose (docs/conventions.md): LF alone is no line end.
  static const char kLineEnd[] = {'\r', '\n'};
  for (;;) {
    const auto end = std::search(pending_.begin(), pending_.end(), kLineEnd, kLineEnd + 2);
    if (end == pending_.end()) {
      // No CR LF yet. Once the bytes cannot become a line that fits (allowing for a CR
      // already at their end), drop them and the rest of their line; a final CR stays,
      // as it may begin the CR LF.
      const bool endsInCr = !pending_.empty() && pending_.back() == '\r';
      const size_t contentLength = pending_.size() - (endsInCr ? 1 : 0);
      if (contentLength > kMaxLineLength || (discarding_ && !pending_.empty())) {
        discarding_ = true;
        pending_.assign(endsInCr ? 1 : 0, '\r');
      }
      return Line::kNone;
    }
    const size_t length = static_cast<size_t>(end - pending_.begin());
    const bool tooLong = discarding_ || length > kMaxLineLength;
    const bool holdsNul = std::memchr(pending_.data(), '\0', length) != nullptr;
    if (!tooLong && !holdsNul) *line = CCountedString(pending_.data(), length);
    if (holdsNul) *line = CCountedString();
    pending_.erase(pending_.begin(), end + 2);
    discarding_ = false;
    if (tooLong) continue;
    return holdsNul ? Line::kHoldsNul : Line::kText;
  }
}

}  // namespace kestova
