#include <gtest/gtest.h>

#include <cstdio>

#include "capture/win32/capture_client.h"
#include "platform/module.h"
#include "platform/settings.h"

namespace kestova {
namespace {

using Method = CCaptureClient::Method;

TEST(CaptureMethod, TheSettingWordsAreReadInAnyCaseAndUnknownOnesAreRefused) {
  struct Case {
    const char* text;
    bool known;
    Method method;
  };
  const Case cases[] = {
      {"driver", true, Method::kDriver},    {"RAW", true, Method::kRaw},
      {" Socket\t", true, Method::kSocket}, {"auto", true, Method::kAuto},
      {"", false, Method::kDriver},         {"sock", false, Method::kDriver},
      {"auto x", false, Method::kDriver},   {"rawx", false, Method::kDriver},
  };
  for (const Case& c : cases) {
    Method method = Method::kDriver;
    EXPECT_EQ(ParseCaptureMethod(c.text, &method), c.known) << c.text;
    EXPECT_EQ(method, c.method) << c.text;
    if (c.known) {
      Method again = Method::kDriver;
      EXPECT_TRUE(ParseCaptureMethod(CaptureMethodName(c.method), &again));
      EXPECT_EQ(again, c.method);
    }
  }
}

TEST(CaptureMethod, TheSettingsFileChoosesTheMethodAndDriverIsTheDefault) {
  CCountedString file = GetModuleFolder();
  file += "capture-method-test.ini";
  std::remove(file.CStr());
  SetSettingsFilePath(file);
  struct Case {
    const char* value;  // null: key absent
    Method method;
  };
  const Case cases[] = {
      {nullptr, Method::kAuto}, {"socket", Method::kSocket},   {"Auto", Method::kAuto},
      {"raw", Method::kRaw},    {"unheard-of", Method::kAuto}, {"driver", Method::kDriver},
  };
  for (const Case& c : cases) {
    if (c.value != nullptr) {
      ASSERT_TRUE(WriteSetting("Capture", "Method", c.value));
    }
    EXPECT_EQ(ReadCaptureMethodSetting(), c.method) << (c.value ? c.value : "(absent)");
  }
  std::remove(file.CStr());
}

}  // namespace
}  // namespace kestova
