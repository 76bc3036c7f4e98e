#pragma once
// What the program knows of its own executable, read once at start: the folder it lies in, the file name it was
// started by (from argv[0], so the profile links, which all point at one program, keep their own names) and the
// version its version block carries.

#include <QString>

namespace qv::platform {

// The version the executable's version block carries, compiled in: "V1.0.4".
QString versionBlockText();

struct ExeInfo {
  QString folder;    // with a trailing '/'
  QString fileName;  // without its folder
  // The version read from the executable's version block; empty for an executable without one.
  QString version = versionBlockText();
};

// Reads argv[0]: a path is resolved against the current folder, a bare name is looked up on the search path.
void initExeInfo(const char* argv0);
// Tests set the folder, name and version the program would have.
void setExeInfo(const ExeInfo& info);
ExeInfo exeInfo();

// Where the program writes its logs, saves and reports, with a trailing '/': the executable's folder for a
// program run from where it was built, the user's data folder (QStandardPaths::AppDataLocation, created when
// needed) for an installed one. A program counts as installed when its folder cannot be written, or when its
// desktop entry stands in the install tree beside it (so that root, who can write /usr/bin, does not litter it).
QString writeFolder();
// True when writeFolder() is the user's data folder, not the executable's.
bool writesToDataFolder();

}  // namespace qv::platform
