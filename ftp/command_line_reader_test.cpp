#include "ftp/command_line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestova {
namespace {

// Feeds the pieces in order and collects every line the reader gives; a line that
// holds a NUL shows as "<NUL>".
std::vector<std::string> LinesOf(const std::vector<std::string>& pieces) {
  CCommandLineReader reader;
  std::vector<std::string> lines;
  for (const std::string& piece : pieces) {
    reader.Append(piece.data(), piece.size());
    CCountedString line;
    for (;;) {
      const CCommandLineReader::Line kind = reader.Next(&line);
      if (kind == CCommandLineReader::Line::kNone) break;
      lines.push_back(kind == CCommandLineReader::Line::kHoldsNul
                          ? "<NUL>"
                          : std::string(line.CStr(), line.Length()));
    }
  }
  return lines;
}

// All bytes of a literal, NULs included.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

std::vector<std::string> OneByteAtATime(const std::string& bytes) {
  std::vector<std::string> pieces;
  for (char c : bytes) pieces.push_back(std::string(1, c));
  return pieces;
}

TEST(CommandLineReaderTest, LinesAreGivenWholeWhateverTheirPieces) {
  const size_t kMax = CCommandLineReader::kMaxLineLength;
  const std::string longest(kMax, 'x');
  const struct {
    const char* name;
    std::vector<std::string> pieces;
    std::vector<std::string> lines;
  } cases[] = {
      {"two lines in one piece", {"CWD a\r\nPWD\r\n"}, {"CWD a", "PWD"}},
      {"split command", {"NO", "OP\r\n"}, {"NOOP"}},
      {"split CR LF", {"NOOP\r", "\nSYST\r\n"}, {"NOOP", "SYST"}},
      {"one byte at a time", OneByteAtATime("USER a\r\nNOOP\r\n"), {"USER a", "NOOP"}},
      {"LF alone is no line end", {"A\nB\r\n", "C\n"}, {"A\nB"}},
      {"empty lines are lines", {"\r\n\r\nX\r\n"}, {"", "", "X"}},
      {"incomplete line waits", {"CDUP"}, {}},
      {"NUL does not hide what follows",
       {Bytes("NOOP\r\n\0\r\nSYST\r\nMKD x\r\n")},
       {"NOOP", "<NUL>", "SYST", "MKD x"}},
      {"NUL inside a word", {Bytes("NO\0OP\r\nPWD\r\n")}, {"<NUL>", "PWD"}},
      {"longest line kept", {longest + "\r\n"}, {longest}},
      {"longest line kept, CR in its own piece", {longest, "\r", "\n"}, {longest}},
      {"one byte too long", {longest + "y\r\nNOOP\r\n"}, {"NOOP"}},
      {"9000-byte line, then a command",
       {std::string(8192, 'x'), std::string(808, 'x') + "\r\nNOOP\r\n"},
       {"NOOP"}},
      {"buffer-filling line with a command behind it",
       {"NOOP " + std::string(8187, 'x'), "DELE victim\r\n", "NOOP\r\n"},
       {"NOOP"}},
      {"discarded line whose CR LF is split",
       {std::string(9000, 'x') + "\r", "\nPWD\r\n"},
       {"PWD"}},
      {"a discarded line spanning many pieces",
       {std::string(8000, 'a'), std::string(8000, 'b'), std::string(8000, 'c'), "\r\nX\r\n"},
       {"X"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LinesOf(c.pieces), c.lines) << c.name;
  }
}

}  // namespace
}  // namespace kestova
