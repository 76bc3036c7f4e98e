#pragma once
// The Function Test's settings file EVT.ini in the current folder: [Set] says which writing steps run and how,
// [Check] gives the expected values and limits. Read into EVT_TEST and EVT_TEST_SET when the main window is
// created and again at each test start, so an edit of the file counts from the next run.
//
// Each key is read as text (at most 511 characters) with its default and stored by its kind: an integer as a
// signed 32-bit number, a flag as 1 for any number but 0, a text cut to its field less one character. A value
// that is no decimal number stops the load at its key: the keys before it keep their new values, that key and
// the keys after it their earlier ones; the caller learns which key and value it was.

#include "mainwindow/SharedRecords.h"
#include "platform/Controls.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <span>
#include <variant>
#include <vector>

namespace qv::mainwindow {

inline constexpr char kEvtIniFile[] = "EVT.ini";

enum class EvtKind { Integer, Flag, Text };

// One key of EVT.ini with the field it fills; the kind and the width follow from the field.
struct EvtIniKey {
  using Field = std::variant<int32_t EvtTestSet::*, uint8_t EvtTestSet::*, int32_t EvtTest::*, uint8_t EvtTest::*,
                             EvtText64 EvtTest::*, EvtText32 EvtTest::*>;
  const char* section;
  const char* key;
  const char* fallback;  // the default text
  Field field;

  EvtKind kind() const;
  // The characters a text field keeps (its size less the terminating zero); 0 for a number.
  int width() const;
};

// Every key, in the order of reading.
std::span<const EvtIniKey> EvtIniKeys();

// Why a load stopped: the file exists but cannot be read, or a key's value is no number.
struct EvtIniError {
  bool unreadable = false;
  QByteArray section;
  QByteArray key;
  QByteArray value;
  // The operator's message, for the status bar.
  QString message() const;
};

// "''%s'' is not a valid integer value" for the value.
QString NotAnIntegerText(const QByteArray& value);

// How far a load got: the number of keys stored (all of them, or those before the one that stopped it).
struct EvtIniStored {
  size_t keys = 0;
  std::optional<EvtIniError> error;
};

// The values of every key as the file's bytes give them (an empty file for a missing one), in table order.
std::vector<QByteArray> EvtIniTexts(QByteArrayView file);
// Stores the texts into the records by the keys' kinds, in table order, until a value is no number.
EvtIniStored StoreEvtIniTexts(std::span<const QByteArray> texts, EvtTest& test, EvtTestSet& set);

// The file's path: the current folder as it is now.
QString EvtIniPath();
bool EvtIniExists();

// Reads the file into the records (a missing one, or one that cannot be read, gives every default), then sets
// RadioGroupBarcodeSelect to BarcodeModeENG (no item unless 0 or 1) and, when EditEVTT1 is empty, writes T1
// into it, each only when the load got past that key. What went wrong is the result, nothing more.
std::optional<EvtIniError> LoadEvtIni(SharedRecords& records, Controls& controls);

// The main window's creation: the load, and a stop shown in status bar panel 2; the program goes on.
void LoadEvtIniAtStartUp(SharedRecords& records, Controls& controls);
// A test start: false when the run must end as without the file (no file, a file that cannot be read, a value
// that is no number; the last two are shown in status bar panel 2).
bool LoadEvtIniForRun(SharedRecords& records, Controls& controls);

}  // namespace qv::mainwindow
