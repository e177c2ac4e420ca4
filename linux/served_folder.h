// The served folder as --folder or the settings file's Folder= name it: where it is, and
// whether it can be served.
#pragma once

#include <string>

namespace kestova {

// The folder `setting` names, as an absolute path: "~" and "~/..." stand for the home
// folder of the user the service runs as ($HOME, else the user's entry in the password
// database); any other relative folder is taken from the working folder. Empty stays
// empty. Made once, when the setting is read: nothing later depends on the working folder.
std::string ExpandFolderSetting(const std::string& setting);

enum class FolderCheck {
  kUsable,        // the folder exists (now): it can be served
  kNotAFolder,    // the name is taken by something that is not a folder (a file)
  kCannotCreate,  // it is missing and could not be created
};

struct FolderReadiness {
  FolderCheck check = FolderCheck::kCannotCreate;
  bool writable = false;  // when usable: the service may create files in it
};

// Creates `folder` with its missing parents and tells whether it can be served.
FolderReadiness PrepareServedFolder(const std::string& folder);

// The one-line reason a folder that is not kUsable cannot be served ("" for kUsable).
std::string FolderProblem(const std::string& folder, FolderCheck check);

// The one-line warning for a usable folder that is not writable.
std::string FolderNotWritableWarning(const std::string& folder);

}  // namespace kestova
