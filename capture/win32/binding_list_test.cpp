#include "capture/win32/binding_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestova {
namespace {

using Strings = std::vector<std::string>;

std::string Bytes(const char* data, size_t size) { return std::string(data, size); }

TEST(BindingList, ValuesSplitIntoTheirStrings) {
  struct Case {
    std::string data;
    bool multi;
    bool whole;
    Strings strings;
  };
  const Case cases[] = {
      {Bytes("Tcpip\0NetBT\0\0", 13), true, true, {"Tcpip", "NetBT"}},
      {Bytes("Tcpip\0NetBT\0", 12), true, true, {"Tcpip", "NetBT"}},  // final zero missing
      {Bytes("Tcpip\0\0NetBT\0\0", 14), true, true, {"Tcpip"}},       // ends at the empty one
      {Bytes("\0", 1), true, true, {}},
      {Bytes("", 0), true, true, {}},
      {Bytes("Tcpip\0NetBT\0\0", 13), false, true, {"Tcpip"}},  // REG_SZ: one string
      {Bytes("Tcpip\0NetB", 10), true, false, {}},              // cut inside a string
      {Bytes("Tcpip", 5), false, false, {}},
  };
  for (const Case& c : cases) {
    Strings strings;
    EXPECT_EQ(SplitBindingList(c.data.data(), c.data.size(), c.multi, &strings), c.whole) << c.data;
    if (c.whole) {
      EXPECT_EQ(strings, c.strings) << c.data;
    }
  }
}

TEST(BindingList, AddPutsTheServiceFirstOnceAndRemoveTakesEveryOccurrence) {
  struct Case {
    Strings old;
    bool add;
    Strings updated;
  };
  const Case cases[] = {
      {{"Tcpip"}, true, {"KESTOVA", "Tcpip"}},
      {{"Tcpip", "KESTOVA", "NetBT"}, true, {"KESTOVA", "Tcpip", "NetBT"}},
      {{"kestova", "Tcpip", "Kestova"}, true, {"KESTOVA", "Tcpip"}},
      {{}, true, {"KESTOVA"}},
      {{"KESTOVA", "Tcpip", "kEsToVa"}, false, {"Tcpip"}},
      {{"KESTOVA"}, false, {}},
      {{"KESTOVAX", "XKESTOVA", "KESTOV"}, false, {"KESTOVAX", "XKESTOVA", "KESTOV"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UpdatedBindingList(c.old, "KESTOVA", c.add), c.updated);
    EXPECT_EQ(BindingListNames(c.updated, "KESTOVA"), c.add);
  }
}

TEST(BindingList, ListsAreWrittenWithOneMoreZeroAndAnEmptyListAsOneZero) {
  EXPECT_EQ(JoinBindingList({"KESTOVA", "Tcpip"}), Bytes("KESTOVA\0Tcpip\0\0", 15));
  EXPECT_EQ(JoinBindingList({}), Bytes("\0", 1));
}

}  // namespace
}  // namespace kestova
