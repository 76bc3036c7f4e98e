#pragma once
// What the program knows of its own executable, read once at start: the folder it lies in and the file name it
// was started by (from argv[0], so the profile links, which all point at one program, keep their own names).

#include <QString>

namespace qv::platform {

struct ExeInfo {
  QString folder;    // with a trailing '/'
  QString fileName;  // without its folder
};

// Reads argv[0]: a path is resolved against the current folder, a bare name is looked up on the search path.
void initExeInfo(const char* argv0);
// Tests set the folder and name the program would have.
void setExeInfo(const ExeInfo& info);
ExeInfo exeInfo();

// Where the program writes its logs, saves and reports, with a trailing '/': the executable's folder for a
// program run from where it was built, the user's data folder (QStandardPaths::AppDataLocation, created when
// needed) for an installed one. A program counts as installed when its folder cannot be written, or when its
// desktop entry stands in the install tree beside it (so that root, who can write /usr/bin, does not litter it).
QString writeFolder();
// True when writeFolder() is the user's data folder, not the executable's.
bool writesToDataFolder();

// The executable's version block, compiled in. A test may take it away to see the program without one.
bool versionBlockReadable();
void setVersionBlockReadable(bool readable);
// The version the block carries, "V1.0.4".
QString versionBlockText();

}  // namespace qv::platform
