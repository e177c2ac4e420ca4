#include "tools/recorder_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/test_support/scratch_folder.h"

namespace kestova {
namespace {

std::string ReadAll(CProgrammeStream& stream, uint32_t pieceSize) {
  std::string bytes;
  std::string piece(pieceSize, '\0');
  for (int guard = 0; guard < 1000000; ++guard) {
    uint32_t length = 0;
    EXPECT_TRUE(stream.Read(&piece[0], pieceSize, &length));
    if (length == 0) break;
    bytes.append(piece.data(), length);
  }
  return bytes;
}

TEST(RecorderStream, GeneratedStreamCarriesTheTitleAndHasTheGivenSize) {
  RecorderOptions options;
  options.titleShiftJis = "\x94\xd4\x91\x67";
  options.size = 10000;
  options.seed = 3;
  CProgrammeStream stream;
  std::string error;
  ASSERT_TRUE(stream.Open(options, &error));
  EXPECT_EQ(10000u, stream.Size());
  std::string bytes = ReadAll(stream, 999);
  ASSERT_EQ(10000u, bytes.size());
  EXPECT_EQ("KSTV", bytes.substr(0, 4));
  EXPECT_EQ(std::string("\x94\xd4\x91\x67\0", 5), bytes.substr(132, 5));
  EXPECT_EQ(std::string(60, '\0'), bytes.substr(136, 60));
  // The same bytes whatever the piece size; other seeds give other bytes.
  CProgrammeStream again;
  ASSERT_TRUE(again.Open(options, &error));
  EXPECT_TRUE(ReadAll(again, 64) == bytes);
  options.seed = 4;
  CProgrammeStream other;
  ASSERT_TRUE(other.Open(options, &error));
  EXPECT_FALSE(ReadAll(other, 999) == bytes);
}

TEST(RecorderStream, ShortStreamsCutTheHeader) {
  RecorderOptions options;
  options.titleShiftJis = "ABCDEFGH";
  options.size = 140;
  CProgrammeStream stream;
  std::string error;
  ASSERT_TRUE(stream.Open(options, &error));
  std::string bytes = ReadAll(stream, 65536);
  EXPECT_EQ(140u, bytes.size());
  EXPECT_EQ("ABCDEFGH", bytes.substr(132));
}

TEST(RecorderStream, PayloadAndRawFiles) {
  testing::CScratchFolder folder;
  const std::string content = testing::PatternBytes(5000, 8);
  ASSERT_TRUE(testing::WriteWholeFile(folder.PathOf("payload"), content));
  std::string error;

  RecorderOptions payload;
  payload.titleShiftJis = "T";
  payload.payloadFile = folder.PathOf("payload").CStr();
  CProgrammeStream withHeader;
  ASSERT_TRUE(withHeader.Open(payload, &error));
  EXPECT_EQ(2048u + 5000u, withHeader.Size());
  std::string bytes = ReadAll(withHeader, 700);
  EXPECT_EQ(BuildProgrammeHeader("T"), bytes.substr(0, 2048));
  EXPECT_TRUE(bytes.substr(2048) == content);

  RecorderOptions raw;
  raw.rawFile = payload.payloadFile;
  CProgrammeStream unchanged;
  ASSERT_TRUE(unchanged.Open(raw, &error));
  EXPECT_TRUE(ReadAll(unchanged, 100) == content);

  RecorderOptions missing;
  missing.rawFile = folder.PathOf("missing").CStr();
  CProgrammeStream none;
  EXPECT_FALSE(none.Open(missing, &error));
  EXPECT_NE(std::string::npos, error.find("missing"));
}

}  // namespace
}  // namespace kestova
