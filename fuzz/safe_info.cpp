// SafeInfo.ini over any file that is there: the unlock leaves [SafeInfo] Key reading as the marker (a second
// reader of the INI rules reads it) and keeps every other byte: an entry that was there has its value's bytes
// replaced and nothing else, a missing one is added as whole lines at a line's start (the file's own line end
// after each, before them too where the last line had none), and nothing is taken away. A folder of that name
// is no file to write: the unlock fails, shows nothing and leaves the folder. No file: one is made of the
// section and the entry.

#include "FuzzStore.h"
#include "FuzzSupport.h"
#include "IniModel.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/Unit3Password.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>

using namespace qv;
using mainwindow::kSafeInfoMarker;

namespace {

std::string lineEndOf(const std::string& file) {
  const size_t e = file.find_first_of("\r\n");
  if (e == std::string::npos) return "\r\n";
  if (file[e] == '\n') return "\n";
  return e + 1 < file.size() && file[e + 1] == '\n' ? "\r\n" : "\r";
}

bool lineEnd(char c) { return c == '\r' || c == '\n'; }

// Whether after is before with text inserted at a line's start, or at the end after a line end of its own.
bool insertedAsLines(const std::string& before, const std::string& after, const std::string& eol) {
  if (after.size() <= before.size()) return false;
  const size_t added = after.size() - before.size();
  size_t prefix = 0;
  while (prefix < before.size() && before[prefix] == after[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < before.size() && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) ++suffix;
  const std::string entry = "Key=" + std::string(kSafeInfoMarker) + eol;
  for (size_t p = before.size() - std::min(suffix, before.size()); p <= prefix; ++p) {
    const std::string x = after.substr(p, added);
    const bool atLineStart = p == 0 || lineEnd(before[p - 1]) ||
                             (before.size() == 3 && p == 3 && before == "\xEF\xBB\xBF");
    const bool atEndAfterItsOwn = p == before.size() && x.compare(0, eol.size(), eol) == 0;
    if (!atLineStart && !atEndAfterItsOwn) continue;
    if (x.size() < entry.size() || x.compare(x.size() - entry.size(), entry.size(), entry) != 0) continue;
    const std::string lead = x.substr(0, x.size() - entry.size());
    const std::string section = "[SafeInfo]" + eol;
    if (lead.empty() || lead == eol || lead == section || lead == eol + section) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QTemporaryDir& folder = fuzz::enterScratchFolder();
  static const std::vector<std::string> kSections = {"SafeInfo", "safeinfo", "Safe Info", "Set", "SafeInfo]x"};
  static const std::vector<std::string> kKeys = {"Key", "KEY", "Key2", "Ke", "SafeInfo", "[SafeInfo]"};
  const QString path = folder.filePath(QString::fromLatin1(mainwindow::kSafeInfoFile));
  QDir(path).removeRecursively();
  QFile::remove(path);

  fuzz::Input in(data, size);
  const uint8_t how = in.u8();
  const bool isFolder = (how & 0x0F) == 0x0F;
  const bool noFile = (how & 0x0F) == 0x0E;
  std::string before;
  if (isFolder) {
    QV_FUZZ_CHECK(QDir().mkdir(path));
  } else if (!noFile) {
    before = fuzz::iniText(in, kSections, kKeys);
    QFile f(path);
    QV_FUZZ_CHECK(f.open(QIODevice::WriteOnly) &&
                  f.write(before.data(), static_cast<qint64>(before.size())) == static_cast<qint64>(before.size()));
  }

  static fuzz::FuzzStore controls;
  controls.setVisible(mainwindow::ctl::GroupBoxVCellList, false);
  controls.setVisible(mainwindow::ctl::TabSheetVM, false);
  const bool unlocked = mainwindow::UnlockEngineeringMode(controls);
  QV_FUZZ_CHECK(unlocked == !isFolder);
  QV_FUZZ_CHECK(controls.visible(mainwindow::ctl::GroupBoxVCellList) == unlocked);
  QV_FUZZ_CHECK(controls.visible(mainwindow::ctl::TabSheetVM) == unlocked);
  if (isFolder) {
    QV_FUZZ_CHECK(QFileInfo(path).isDir());
    return 0;
  }

  QFile f(path);
  QV_FUZZ_CHECK(f.open(QIODevice::ReadOnly));
  const QByteArray read = f.readAll();
  const std::string after(read.constData(), static_cast<size_t>(read.size()));
  QV_FUZZ_CHECK(fuzz::iniValue(after, "SafeInfo", "Key", "") == kSafeInfoMarker);
  if (noFile) {
    QV_FUZZ_CHECK(after == "[SafeInfo]\r\nKey=" + std::string(kSafeInfoMarker) + "\r\n");
  } else if (const std::optional<fuzz::IniLine> entry = fuzz::iniEntry(before, "SafeInfo", "Key")) {
    QV_FUZZ_CHECK(after == before.substr(0, entry->valueAt) + kSafeInfoMarker +
                               before.substr(entry->valueAt + entry->valueSize));
  } else {
    QV_FUZZ_CHECK(insertedAsLines(before, after, lineEndOf(before)));
  }
  return 0;
}
