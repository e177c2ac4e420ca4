// Where kestov-a keeps its settings file and its default receiving folder.
#pragma once

#include <string>

namespace kestova {

// $XDG_CONFIG_HOME/kestov-a/kestov-a.ini when XDG_CONFIG_HOME is set (and absolute),
// else $HOME/.config/kestov-a/kestov-a.ini; "kestov-a.ini" when neither is known.
std::string DefaultSettingsFile();

// $HOME/KESTOV-A; "KESTOV-A" (in the working folder) when HOME is not set.
std::string DefaultServedFolder();

// The folder part of a file name ("" when there is none).
std::string FolderOf(const std::string& file);

// An absolute version of `path` (relative to the working folder); `path` itself when
// the working folder cannot be told.
std::string AbsolutePath(const std::string& path);

}  // namespace kestova
