#include "ftp/dubbing_documents.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestova {
namespace {

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(text.size(), start) << "text after the last CR LF";
  return lines;
}

TEST(StatusDocument, HasThirtyFiveCrLfLinesAnd1471Bytes) {
  CCountedString document = BuildStatusDocument();
  ASSERT_EQ(kStatusDocumentLength, document.Length());
  std::string text(document.CStr(), document.Length());
  EXPECT_EQ(std::string::npos, text.find('\0'));
  std::vector<std::string> lines = LinesOf(text);
  ASSERT_EQ(35u, lines.size());
  EXPECT_EQ("<?xml version=\"1.0\" encoding=\"shift_jis\"?>", lines[0]);
  EXPECT_EQ("<status>", lines[1]);
  EXPECT_EQ("<dubbing>ready</dubbing>", lines[2]);
  EXPECT_EQ("<accept_dubbing>ready</accept_dubbing>", lines[3]);
  for (int d = 0; d <= 9; ++d) {
    std::string n = std::to_string(d);
    EXPECT_EQ("<device" + n + "_remain>167772160</device" + n + "_remain>", lines[4 + 3 * d]);
    EXPECT_EQ("<device" + n + "_recorded>0</device" + n + "_recorded>", lines[5 + 3 * d]);
    EXPECT_EQ("<device" + n + "_title_remain>350</device" + n + "_title_remain>", lines[6 + 3 * d]);
  }
  EXPECT_EQ("</status>", lines[34]);
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "no bare LF";
}

TEST(StatusDocument, IsTheSameEveryTime) {
  CCountedString first = BuildStatusDocument();
  CCountedString second = BuildStatusDocument();
  EXPECT_TRUE(first == second);
}

uint64_t SizeOf(const std::string& document) {
  return ParseTitleSize(CCountedString(document.data(), document.size()));
}

TEST(TitleSize, NumberBetweenTheTagsIsTaken) {
  EXPECT_EQ(1048576u, SizeOf("<?xml version=\"1.0\"?><info><titlesize>1048576</titlesize></info>"));
  EXPECT_EQ(42u, SizeOf("<titlesize>  42</titlesize>"));
  EXPECT_EQ(7u, SizeOf("<titlesize>+7</titlesize>"));
  EXPECT_EQ(12u, SizeOf("<titlesize>12abc</titlesize>"));
  EXPECT_EQ(4294967296ull * 3, SizeOf("<titlesize>12884901888</titlesize>"));
}

TEST(TitleSize, LettersMissingElementsAndNegativeNumbersGiveZero) {
  EXPECT_EQ(0u, SizeOf("<titlesize>abc</titlesize>"));
  EXPECT_EQ(0u, SizeOf("<titlesize></titlesize>"));
  EXPECT_EQ(0u, SizeOf("<info><title>x</title></info>"));
  EXPECT_EQ(0u, SizeOf("<titlesize>123"));  // no closing tag
  EXPECT_EQ(0u, SizeOf("<TITLESIZE>123</TITLESIZE>"));
  EXPECT_EQ(0u, SizeOf("<titlesize>-5</titlesize>"));
  EXPECT_EQ(0u, SizeOf(""));
}

TEST(TitleSize, SizesBeyondTwoToTheSixtyThreeBytesCountAsNone) {
  EXPECT_EQ(4503599627370496u, SizeOf("<titlesize>4503599627370496</titlesize>"));  // 2^63 B
  EXPECT_EQ(0u, SizeOf("<titlesize>4503599627370497</titlesize>"));
  EXPECT_EQ(0u, SizeOf("<titlesize>1152921504606846976</titlesize>"));  // 2^60
  EXPECT_EQ(0u, SizeOf("<titlesize>99999999999999999999999</titlesize>"));
}

TEST(TitleSize, OnlyTheFirstElementCountsAndAZeroByteEndsTheText) {
  EXPECT_EQ(5u, SizeOf("<titlesize>5</titlesize><titlesize>9</titlesize>"));
  static const char kHidden[] = "<a>\0<titlesize>5</titlesize>";
  EXPECT_EQ(0u, SizeOf(std::string(kHidden, sizeof(kHidden) - 1)));
  // The closing tag is searched only after the opening tag.
  EXPECT_EQ(8u, SizeOf("</titlesize><titlesize>8</titlesize>"));
}

TEST(TitleSize, ShiftJisTextBeforeTheElementIsSteppedOver) {
  // A title "ソ<" whose trail byte 0x5C and the real text around do not confuse the search.
  EXPECT_EQ(99u, SizeOf("<title>\x83\x5c\x95\x5c</title><titlesize>99</titlesize>"));
}

}  // namespace
}  // namespace kestova
