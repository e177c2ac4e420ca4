// The running program's own file, and the settings file beside it.
#pragma once

#include "base/counted_string.h"

namespace kestova {

// Full path of the running executable as the system reports it (at most 259 bytes
// on Windows).
CCountedString GetModulePath();

// GetModulePath() up to and including its last separator ('\\' on Windows, '/' on
// Linux); empty when there is none. Double-byte characters are stepped over.
CCountedString GetModuleFolder();

// The module path up to and including its last dot, followed by "ini"; "ini" alone
// when the path has no dot. Takes the path as an argument so it can be tested.
CCountedString SettingsPathFor(const CCountedString& modulePath);

// The settings file of this run: SettingsPathFor(GetModulePath()) unless replaced by
// SetSettingsFilePath before the first settings access. Fixed for the whole run.
CCountedString GetSettingsFilePath();
void SetSettingsFilePath(const CCountedString& path);

}  // namespace kestova
