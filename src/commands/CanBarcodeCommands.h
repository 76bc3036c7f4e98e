#pragma once
// The CAN barcode commands of the "QV" page: the read and write of the barcode in the form that
// RadioGroupBarcodeSelect chooses (item 0 "Barcode32", four parts of 0x200A; item 1 "Barcode16", two parts of
// 0x000A and, when that fails, of 0x2008), the capacity lookup by the barcode read, and the choice kept in
// EVT.ini as [Set] BarcodeModeENG.
//
// Like the service commands (CanServiceCommands.h) they ride on the CAN run that holds the adapter and hold
// the exchange lock for their whole run, so a read started by a click while the polling loop makes its own
// start-up read waits for it instead of running over the same answer flags and barcode buffer. Each reader
// clears its own answer-flag byte and the barcode buffer before it asks, and counts a part only when the pack
// accepted it.

#include "commands/UrCommand.h"
#include "link/Link.h"
#include "mainwindow/MainState.h"
#include "platform/Controls.h"

#include <cstdint>

namespace qv::commands {

// The readers, each on the caller's thread; true when every part was accepted. The barcode text reaches
// Edit_Barcode32_RW through the CAN decoders (0x2008 has none: its read leaves the edit empty).
bool CanReadBarcode32(link::Link& link, mainwindow::MainState& state);
bool CanReadBarcode16(link::Link& link, mainwindow::MainState& state);
bool CanReadBarcode16Alt(link::Link& link, mainwindow::MainState& state);

// The read of the chosen form as an exchange alone: the common start, "-" on Label_Barcode_R, then "OK" or "NG";
// no form chosen: nothing is read and the label stays "-". True when read. The polling loop's start runs this and
// looks the barcode up itself once it has let the exchange go.
bool CanReadBarcode(link::Link& link, mainwindow::MainState& state);
// The read button's worker: CanReadBarcode, then, when the edit shows a barcode, the capacity lookup into
// Edit_Battery_Capacity_BRCAN (which keeps its text when the table or the barcode is missing). The table is
// read after the exchange lock is let go.
void CanReadBarcodeWorker(link::Link& link, mainwindow::MainState& state);

// The writers of Edit_Barcode32_RW's text (its first 32 bytes; Barcode16 sends the first 16): "OK" with a blue
// button font when the pack accepted every part, "NG" with a red one otherwise; an empty edit sends nothing.
bool CanWriteBarcode32(link::Link& link, mainwindow::MainState& state);
bool CanWriteBarcode16(link::Link& link, mainwindow::MainState& state);
// The write button's worker: the common start, "-" on Label_Barcode_W, the writer of the chosen form.
void CanWriteBarcodeWorker(link::Link& link, mainwindow::MainState& state);

// The choice written as [Set] BarcodeModeENG into EVT.ini in the current folder, in place, every other byte of
// the file kept; then read back into EVT_TEST_SET (-1 when the value read is no integer or the key is missing).
// Returns the value stored.
int32_t StoreBarcodeModeENG(mainwindow::MainState& state, int itemIndex);

class CanBarcodeCommands {
 public:
  CanBarcodeCommands(link::Link& link, mainwindow::MainState& state, UrCommandRunner::StartWorker start = {});

  // On the GUI thread. The choice enables the Barcode32 group and stores the item index in EVT.ini.
  void RadioGroupBarcodeSelectClick();
  // Each switches its button off and starts its worker; a click on a button that is off starts nothing.
  void SpdBtn_Barcode32_RClick();
  void SpdBtn_Barcode32_WClick();

 private:
  link::Link& link_;
  mainwindow::MainState& state_;
  Controls& controls_;
  UrCommandRunner::StartWorker start_;
};

}  // namespace qv::commands
