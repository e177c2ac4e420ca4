#include "ftp/served_path.h"

#include <gtest/gtest.h>

namespace kestova {
namespace {

CCountedString Resolved(const char* path) {
  CCountedString result("<unresolvable>");
  ResolvePathComponents(path, &result);
  return result;
}

TEST(ResolvePathComponentsTest, ResolvesParentAndCurrentReferencesWithEitherSeparator) {
  EXPECT_EQ(Resolved("D:\\Video\\sub\\..\\a.mpg"), "D:\\Video\\a.mpg");
  EXPECT_EQ(Resolved("D:\\Video\\..\\a.mpg"), "D:\\a.mpg");
  EXPECT_EQ(Resolved("/srv/rec/./sub//x/"), "\\srv\\rec\\sub\\x");
  EXPECT_EQ(Resolved("/srv/rec/sub\\..//b"), "\\srv\\rec\\b");
  EXPECT_EQ(Resolved("/srv/rec/sub/.."), "\\srv\\rec");
  EXPECT_EQ(Resolved("\\\\server\\share\\a"), "\\\\server\\share\\a");
  EXPECT_EQ(Resolved("D:\\"), "D:\\");
  EXPECT_EQ(Resolved("D:\\Video\\.."), "D:\\");
}

TEST(ResolvePathComponentsTest, RefusesClimbingAboveTheTopAndDotOnlyNames) {
  CCountedString out;
  EXPECT_FALSE(ResolvePathComponents("/srv/../../etc", &out));
  EXPECT_FALSE(ResolvePathComponents("D:\\..\\x", &out));
  EXPECT_FALSE(ResolvePathComponents("/srv/rec/.../x", &out));
  EXPECT_FALSE(ResolvePathComponents("/srv/rec/.. /x", &out));
}

TEST(ResolvePathComponentsTest, RefusesWindowsDeviceNamesInAnyComponent) {
  CCountedString out;
  for (const char* path :
       {"/r/con", "/r/NUL.txt", "/r/sub/Com1", "/r/lpt9.mpg/x", "/r/aux ", "/r/CONOUT$"}) {
    EXPECT_FALSE(ResolvePathComponents(path, &out)) << path;
  }
  // The DOS spelling with a colon ("NUL:", "LPT1:") names the device as well.
  for (const char* path : {"/r/nul:", "/r/COM1:", "/r/con:x", "/r/lpt1 :.txt", "/r/aux:.mpg"}) {
    EXPECT_FALSE(ResolvePathComponents(path, &out)) << path;
  }
  for (const char* path : {"/r/console", "/r/com10", "/r/com0", "/r/nulls.txt", "/r/a.con",
                           "/r/console:", "/r/a:nul"}) {
    EXPECT_TRUE(ResolvePathComponents(path, &out)) << path;
  }
}

TEST(ResolvePathComponentsTest, StepsOverShiftJisTrailBytesEqualToBackslash) {
  if (CodePage::System().IsLeadByte(0x95)) {
    // "\x95\x5c" is one Shift_JIS character; its trail byte is no separator.
    EXPECT_EQ(Resolved("D:\\\x95\x5c\\..\\a"), "D:\\a");
  } else {
    // In UTF-8 (Linux) the byte 0x5c is always a separator.
    EXPECT_EQ(Resolved("/r/\x95\x5c/a"), "\\r\\\x95\\a");
  }
}

TEST(IsInsideFolderTest, ComparesWholeComponents) {
  EXPECT_TRUE(IsInsideFolder("\\srv\\rec", "\\srv\\rec"));
  EXPECT_TRUE(IsInsideFolder("\\srv\\rec", "\\srv\\rec\\x"));
  EXPECT_FALSE(IsInsideFolder("\\srv\\rec", "\\srv\\rec2\\x"));
  EXPECT_FALSE(IsInsideFolder("\\srv\\rec", "\\srv"));
  EXPECT_FALSE(IsInsideFolder("\\srv\\rec", "\\other\\srv\\rec\\x"));
  EXPECT_TRUE(IsInsideFolder("\\", "\\etc"));
}

TEST(IsInsideFolderTest, RootEndingInAShiftJisTrailByte0x5cIsNoSeparator) {
  // "D:\\\x95\x5c" is the folder D:\表; "D:\\\x95\x5cX" is a sibling folder, not inside it.
  const CodePage& shiftJis = CodePage::ShiftJis();
  EXPECT_TRUE(IsInsideFolder("D:\\\x95\x5c", "D:\\\x95\x5c\\a", shiftJis));
  EXPECT_TRUE(IsInsideFolder("D:\\\x95\x5c", "D:\\\x95\x5c", shiftJis));
  EXPECT_FALSE(IsInsideFolder("D:\\\x95\x5c", "D:\\\x95\x5cX\\a", shiftJis));
  EXPECT_FALSE(IsInsideFolder("D:\\\x95\x5c", "D:\\\x95\x5c\x81\x40", shiftJis));
  EXPECT_TRUE(IsInsideFolder("D:\\", "D:\\\x95\x5c", shiftJis));
  if (CodePage::System().IsLeadByte(0x95)) {
    // Served from D:\表\, a client climbing into D:\表X\ is refused.
    CCountedString out;
    EXPECT_FALSE(ResolveInsideFolder("D:\\\x95\x5c\\", "D:\\\x95\x5c\\..\\\x95\x5cX\\a", &out));
    EXPECT_TRUE(ResolveInsideFolder("D:\\\x95\x5c\\", "D:\\\x95\x5c\\sub\\a", &out));
  }
}

TEST(ResolveInsideFolderTest, RefusesEveryEscapeFromTheRoot) {
  CCountedString out;
  EXPECT_TRUE(ResolveInsideFolder("/srv/rec/", "/srv/rec/sub/../a.mpg", &out));
  EXPECT_EQ(out, "\\srv\\rec\\a.mpg");
  EXPECT_FALSE(ResolveInsideFolder("/srv/rec/", "/srv/rec/../rec2/x", &out));
  EXPECT_FALSE(ResolveInsideFolder("/srv/rec/", "/srv/rec/..\\..\\etc\\passwd", &out));
  EXPECT_FALSE(ResolveInsideFolder("/srv/rec/", "/srv/rec//../secret", &out));
  EXPECT_TRUE(ResolveInsideFolder("D:\\Video\\", "D:\\Video\\sub/../x", &out));
  EXPECT_FALSE(ResolveInsideFolder("D:\\Video\\", "D:\\Video\\..\\x", &out));
  EXPECT_TRUE(ResolveInsideFolder("D:\\", "D:\\sub\\x", &out));
  EXPECT_EQ(out, "D:\\sub\\x");
  EXPECT_TRUE(ResolveInsideFolder("D:\\", "D:\\", &out));
  EXPECT_EQ(out, "D:\\");
  EXPECT_FALSE(ResolveInsideFolder("D:\\", "E:\\x", &out));
}

TEST(WithTrailingSeparatorTest, AppendsTheSeparatorThePathUses) {
  EXPECT_EQ(WithTrailingSeparator("/srv/rec"), "/srv/rec/");
  EXPECT_EQ(WithTrailingSeparator("/srv/rec/"), "/srv/rec/");
  EXPECT_EQ(WithTrailingSeparator("D:\\Video"), "D:\\Video\\");
  EXPECT_EQ(WithTrailingSeparator("D:\\Video\\"), "D:\\Video\\");
  EXPECT_EQ(WithTrailingSeparator(""), "\\");
}

}  // namespace
}  // namespace kestova
