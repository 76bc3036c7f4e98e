#pragma once
// The cell resistances of the "ENG" page: one value in milliohms per cell, loaded from MTD.ini [Set] CellR1 to
// CellR13 in the current folder. "Read" and "Write" only announce a wait in the status bar: the pack's values
// reach the boxes through the pack message dispatcher when the pack sends them, and nothing is ever written to
// the pack or the file.
//
// Each value is kept as the low 16 bits of the file's number, signed (70000 is 4464). A missing key reads as
// "0". A value that is no 32-bit decimal number stops the load at its cell: the cells before it keep their new
// values and boxes, the rest stay empty, and the status bar names the key and the value.

#include "mainwindow/MainState.h"
#include "platform/Controls.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace qv::mainwindow {

inline constexpr char kCellResistanceIniFile[] = "MTD.ini";
inline constexpr char kCellResistanceReadText[] = "Waiting polling Cell ohm to read....";
inline constexpr char kCellResistanceWriteText[] = "Waiting polling Cell ohm to write....";

// Why a load stopped: the file is there but cannot be read, or the value of one cell's key is no number.
struct CellResistanceError {
  bool unreadable = false;
  int cell = 0;  // 1 to 13
  QByteArray value;
  // The operator's message, for the status bar.
  QString message() const;
};

// How far the values of a file's bytes go: the first `cells` entries of values are read (all 13, or those
// before the one that stopped it).
struct CellResistanceLoad {
  int cells = 0;
  CellResistanceValues values{};
  std::optional<CellResistanceError> error;
};

// The values in a file's bytes, cell 1 first. Pure, for tests and fuzzing.
CellResistanceLoad ReadCellResistances(QByteArrayView file);

QString CellResistanceIniPath();
// True when MTD.ini is a file in the current folder (a folder of that name is none).
bool CellResistanceIniExists();

// Reads MTD.ini into the values and the boxes, cell 1 first, up to a value that is no number (shown in status
// bar panel 2). True when all thirteen were read.
bool LoadCellResistanceIni(Controls& controls, Guarded<CellResistanceValues>& values);

// "Load": the boxes emptied, then filled from MTD.ini when it is there; "Write" enabled only after a whole
// load. "Load" is disabled while it runs and always enabled again.
void CellResistanceLoadClick(Controls& controls, Guarded<CellResistanceValues>& values);
// "Read": the three buttons disabled until the next exchange ends, the wait announced, the boxes emptied.
void CellResistanceReadClick(Controls& controls);
// "Write": the three buttons disabled until the next exchange ends, the wait announced.
void CellResistanceWriteClick(Controls& controls);

}  // namespace qv::mainwindow
