#include "tools/recorder_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestova {
namespace {

// Parses the words as a command line; returns the error ("" on success).
std::string Parse(std::vector<std::string> words, RecorderOptions* options) {
  std::vector<char*> argv;
  static char program[] = "kestov-recorder";
  argv.push_back(program);
  for (std::string& word : words) argv.push_back(&word[0]);
  std::string error;
  bool help = false;
  bool ok =
      ParseRecorderOptions(static_cast<int>(argv.size()), argv.data(), options, &error, &help);
  if (help) return "<help>";
  EXPECT_EQ(ok, error.empty());
  return error;
}

TEST(RecorderOptions, EveryOptionIsTaken) {
  RecorderOptions options;
  ASSERT_EQ(
      "",
      Parse({"--host",       "10.0.0.5", "--port",      "2121",      "--user",        "u",
             "--password",   "p",        "--mode",      "port",      "--size",        "3M",
             "--seed",       "9",        "--piece",     "100",       "--piece-delay", "5",
             "--title-size", "abc",      "--no-status", "--copy-to", "/tmp/x",        "--timeout",
             "2000",         "--verbose"},
            &options));
  EXPECT_EQ("10.0.0.5", options.host);
  EXPECT_EQ(2121, options.port);
  EXPECT_EQ("u", options.user);
  EXPECT_EQ("p", options.password);
  EXPECT_EQ(DataMode::kPort, options.mode);
  EXPECT_EQ(3u << 20, options.size);
  EXPECT_EQ(9u, options.seed);
  EXPECT_EQ(100u, options.pieceSize);
  EXPECT_EQ(5u, options.pieceDelayMs);
  EXPECT_TRUE(options.titleSizeGiven);
  EXPECT_EQ("abc", options.titleSizeText);
  EXPECT_FALSE(options.checkStatus);
  EXPECT_TRUE(options.sendDubbingInfo);
  EXPECT_EQ("/tmp/x", options.copyTo);
  EXPECT_EQ(2000, options.timeoutMs);
  EXPECT_TRUE(options.verbose);
}

TEST(RecorderOptions, SizesTakeBinarySuffixesAndPassFourGigabytes) {
  RecorderOptions options;
  ASSERT_EQ("", Parse({"--size", "5G", "--piece", "64K"}, &options));
  EXPECT_EQ(5ull << 30, options.size);
  EXPECT_EQ(65536u, options.pieceSize);
  ASSERT_EQ("", Parse({"--size", "0"}, &options));
  EXPECT_EQ(0u, options.size);
}

TEST(RecorderOptions, TitleIsConvertedToShiftJis) {
  RecorderOptions options;
  ASSERT_EQ("", Parse({"--title", "\xe7\x95\xaa\xe7\xb5\x84:1"}, &options));  // "番組:1"
  EXPECT_EQ("\x94\xd4\x91\x67:1", options.titleShiftJis);
  ASSERT_EQ("", Parse({"--title-hex", "835c837c00ff"}, &options));
  EXPECT_EQ(std::string("\x83\x5c\x83\x7c\x00\xff", 6), options.titleShiftJis);
}

TEST(RecorderOptions, BadInputIsRefusedWithAMessage) {
  RecorderOptions options;
  EXPECT_NE("", Parse({"--port", "70000"}, &options));
  EXPECT_NE("", Parse({"--port", "0"}, &options));
  EXPECT_NE("", Parse({"--port"}, &options));
  EXPECT_NE("", Parse({"--mode", "fast"}, &options));
  EXPECT_NE("", Parse({"--size", "12Q"}, &options));
  EXPECT_NE("", Parse({"--size", "-1"}, &options));
  EXPECT_NE("", Parse({"--piece", "0"}, &options));
  EXPECT_NE("", Parse({"--title-hex", "abc"}, &options));
  EXPECT_NE("", Parse({"--title-hex", "zz"}, &options));
  EXPECT_NE("", Parse({"--title", "\xf0\x9f\x98\x80"}, &options));  // an emoji: no Shift_JIS
  EXPECT_NE("", Parse({"--title", std::string(65, 'A')}, &options));
  EXPECT_NE("", Parse({"--raw", "a", "--payload", "b"}, &options));
  EXPECT_NE("", Parse({"--frobnicate", "1"}, &options));
  EXPECT_NE("", Parse({"stray"}, &options));
  EXPECT_EQ("<help>", Parse({"--help"}, &options));
  EXPECT_EQ("", Parse({"--version", "--port", "x"}, &options));  // nothing after it is judged
  EXPECT_TRUE(options.version);
}

}  // namespace
}  // namespace kestova
