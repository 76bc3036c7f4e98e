#pragma once
// The UR74 answer record: the 74 bytes beginning with "!" that a UR74 pack sends for the query "X", decoded
// into the UR page: cells with their sum and spread, firmware id, a capacity model chosen by the model code,
// state of charge and health, protection flags, one temperature, the current, and the battery energy from the
// capacity table.

#include "mainwindow/MainState.h"
#include "platform/Controls.h"

#include <QByteArrayView>

#include <atomic>

namespace qv::mainwindow {

// The decoder's memory between records: the cell count in force, taken from the firmware id of the last record
// that carried one. It starts at 0 (every cell box shows "0") and is kept for later records and later runs.
struct Ur74CellCount {
  std::atomic<int> inForce{0};
};

// Decodes one record. Bytes past the end of `record` read as 0, as in the caller's cleared reply buffer; a
// record that does not begin with "!" changes nothing but the SOC bar's maximum.
void DecodeUr74Record(QByteArrayView record, Controls& controls, MainState& state, Ur74CellCount& cellCount);

// Fills Edit_HVlot, Edit_LVolt and Edit_VoltDiff from the cell boxes EditVCell1 to EditVCell13. The cell count
// is 7 when EditVCell8 holds 0, else 8 when EditVCell9 holds 0, and so on up to 13; for 7, 10 and 13 cells the
// boxes show the largest cell, the smallest and their difference, for the other counts "0". When a box it needs
// holds no number, the spread boxes keep their texts.
void UpdateCellSpread(Controls& controls);

}  // namespace qv::mainwindow
