#pragma once
// The capacity table "VM_CAP.CSV": the battery energy in Wh of a pack, keyed by the beginning of its firmware id
// (UR) or barcode (CAN). The program only reads it, afresh for every lookup, and never under the exchange lock or
// the store's lock (a reader decodes after its exchange).
//
// As the reader takes the file: lines end with LF; every space, TAB and CR is dropped wherever it stands; the
// first line is a header and never matches; on a later line the characters before the first comma are the key
// and every other character but commas is the value. A line matches when its key is a prefix of the wanted key
// (byte for byte) and its value is an energy (a decimal number, not negative); the first matching line wins.
// A line that is not of that shape is passed over, and so is a line longer than any key or energy can be. The
// last line counts also when the file does not end with LF.

#include "mainwindow/MainState.h"
#include "platform/Controls.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <string_view>

namespace qv::mainwindow {

inline constexpr char kCapacityTableFile[] = "VM_CAP.CSV";

// True when a file of that name exists, relative to the current folder.
bool CapacityFileExists(const QString& name);

// 1 when a line of the table matches the wanted key, else 0. After 1 the found value (and the key and value
// texts) of the state hold the matching line's; after 0 those texts are empty. The lines-read count grows by
// the LF bytes read. A file that cannot be opened gives 0.
int LookupCsvValue(Guarded<BatteryLookup>& battery, const QString& name, const QByteArray& wantedKey);

// 1 when the line matches the wanted key (both keys non-empty, the line key a prefix of the wanted key, the
// value an energy); then *found := the line's value. Otherwise 0, and *found is left alone.
int CsvKeyMatches(const QByteArray& wantedKey, const QByteArray& lineKey, const QByteArray& lineValue,
                  QByteArray* found);

// The lookup as every caller makes it, whole under the state's lock: clear the state, test the table file, and,
// when it is there and the key is not empty, look the key up. The energy text found, or nothing.
std::optional<QByteArray> LookupCapacity(Guarded<BatteryLookup>& battery, const QByteArray& key);

// The UR decoders' lookup: keyed by the text of EditFWID, done only when that text is not empty; a value found
// is shown in Edit_UR96_Battery_Wh, otherwise the box keeps its text.
void LookupUrBatteryEnergy(Controls& controls, Guarded<BatteryLookup>& battery);

// The energy shares of the UR pages, in extended precision from the boxes' texts, truncated toward zero:
// Edit_UR96_SOH_Wh := ASOC x 0.01 x Wh, and Edit_UR96_SOC_Wh := RSOC x 0.01 x (ASOC x 0.01 x Wh), with ASOC,
// RSOC and Wh the numbers in EditASOC, EditRSOC and Edit_UR96_Battery_Wh. When a box the value needs holds no
// number, the result box keeps its text; a share too large to show (a table energy out of all measure) empties
// it, so it never goes on showing the previous pack's value.
void ShowUrSohEnergy(Controls& controls);
void ShowUrSocEnergy(Controls& controls);

// Shows an energy share truncated toward zero in the box, or empties the box when the share is no finite
// number within 64 bits.
void ShowEnergyShare(Controls& controls, Control box, long double share);

// A value truncated toward zero, in decimal; nothing when it is not a finite number within 64 bits.
std::optional<QString> TruncatedDecimal(long double value);

}  // namespace qv::mainwindow
