#include "ftp/programme_file.h"

#include <cstdint>

namespace kestova {

namespace {

// How many names to try after losing a race for a free name to another process.
constexpr int kRaceRetries = 100;

}  // namespace

CLock g_fileNamingLock;

bool CreateProgrammeFile(const CCountedString& rootFolder, const CCountedString& fileTitle,
                         CFile* file, CCountedString* name, CCountedString* path,
                         CTransferMark* mark) {
  CCountedString extension(".MPG");
  unsigned long long number = 1;
  int racesLeft = kRaceRetries;
  for (;;) {
    *name = fileTitle + extension;
    *path = rootFolder + *name;
    // A link that leads nowhere takes its name too: creating through it would fail.
    if (!NameIsTaken(*path)) {
      // Marked before it exists, so that no other session can delete it once it does.
      mark->Mark(*path);
      if (file->CreateNew(*path)) return true;
      mark->Release();
      // Refused although nothing was there a moment ago: lost a race for the name, or
      // the folder cannot hold the file at all.
      if (!NameIsTaken(*path) || racesLeft-- == 0) return false;
    }
    extension = CCountedString::Format("_%llu.MPG", number);
    ++number;
  }
}

}  // namespace kestova
