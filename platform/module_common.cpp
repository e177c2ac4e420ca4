// The parts of module.h that are the same on every system.
#include "platform/module.h"
#include "platform/path_text.h"
#include "platform/thread.h"

namespace kestova {
namespace {

// The settings file path of this run. Fixed at the first GetSettingsFilePath call;
// SetSettingsFilePath only counts before that.
struct SettingsLocation {
  CLock lock;
  bool fixed KESTOVA_GUARDED_BY(lock) = false;
  bool replaced KESTOVA_GUARDED_BY(lock) = false;
  CCountedString path KESTOVA_GUARDED_BY(lock);
};

SettingsLocation& Location() {
  static SettingsLocation* location = new SettingsLocation;  // never destroyed: usable at exit
  return *location;
}

}  // namespace

CCountedString GetModuleFolder() { return FolderOf(GetModulePath(), CodePage::System()); }

CCountedString SettingsPathFor(const CCountedString& modulePath) {
  return SettingsPathFor(modulePath, CodePage::System());
}

CCountedString GetSettingsFilePath() {
  SettingsLocation& location = Location();
  CLockHolder hold(location.lock);
  if (!location.fixed) {
    if (!location.replaced) location.path = SettingsPathFor(GetModulePath());
    location.fixed = true;
  }
  return location.path;
}

void SetSettingsFilePath(const CCountedString& path) {
  SettingsLocation& location = Location();
  CLockHolder hold(location.lock);
  if (location.fixed) return;
  location.path = path;
  location.replaced = true;
}

}  // namespace kestova
