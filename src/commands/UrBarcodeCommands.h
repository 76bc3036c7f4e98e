#pragma once
// The UR barcode commands over UR2 pack frames. A pack keeps its barcode in one of three kinds, asked for in
// this order: Barcode32-EEP (0x6207, the EEPROM header item, parts 1 to 4), Barcode32 (0x200A, parts 1 to 4)
// and Barcode16 (0x2008, parts 1 and 2). The first kind whose parts all answer in one pass is the pack's: the
// read shows it in EditBarCode32 (the pack message dispatcher builds the text part by part), the write sends
// EditBarCode32 with that kind's write message (0x4009 for both 32-character kinds, 0x4008 for Barcode16).
//
// Both commands detect the UR variant first (only UR96 and UR2 packs carry a barcode) and so raise the run flag
// for their own run. Both run on a worker in the UR command shape (UrCommand.h): the read's starters are "Read"
// on the ENG page and "Read" in the UR page's barcode group, which act on the same edit and button.
//
// The readers are also the UR2 polling loop's: installOn hands them, and the kind flags, to monitoring.

#include "commands/UrCommand.h"
#include "link/Link.h"
#include "mainwindow/MainState.h"

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>

namespace qv::mainwindow {
struct MonitorHooks;
}

namespace qv::commands {

enum class BarcodeKind : uint8_t { Barcode32Eep = 0, Barcode32 = 1, Barcode16 = 2 };

// BarcodeKindFlags: one flag per kind, set when all parts of that kind answered in one pass. A set flag skips
// the later kinds' readers, chooses the write message, and stops the UR2 polling loop's barcode reads. Shared by
// the commands' workers and the monitoring thread.
class BarcodeKindFlags {
 public:
  void clear() {
    for (auto& f : flags_) f.store(false);
  }
  void set(BarcodeKind kind) { flags_[static_cast<size_t>(kind)].store(true); }
  bool found(BarcodeKind kind) const { return flags_[static_cast<size_t>(kind)].load(); }
  bool any() const { return found(BarcodeKind::Barcode32Eep) || found(BarcodeKind::Barcode32) || found(BarcodeKind::Barcode16); }
  // This kind or one asked for before it has been found.
  bool foundUpTo(BarcodeKind kind) const {
    for (int k = 0; k <= static_cast<int>(kind); ++k) {
      if (flags_[static_cast<size_t>(k)].load()) return true;
    }
    return false;
  }

 private:
  std::array<std::atomic<bool>, 3> flags_{};
};

// The write buffer: the text as 8-bit characters in 32 zeroed bytes, part n being bytes 8(n-1) to 8n-1. A
// longer text gives its first 32 bytes; Barcode16 sends only parts 1 and 2.
std::array<uint8_t, 32> BarcodeWriteBuffer(const QString& text);

// One kind's reader, on an open adapter with the exchange lock held: up to three passes, each with an emptied
// receive queue, asking for every part; true when this call found the kind (all parts accepted in one pass),
// which sets its flag. False at once when this kind or an earlier one is already found.
bool ReadBarcodeKind(link::Link& link, BarcodeKindFlags& flags, BarcodeKind kind);
// The writers: EditBarCode32 sent with 0x4009 in four parts, or 0x4008 in two; true when every part was
// acknowledged within one pass (up to three passes).
bool WriteBarcode32(link::Link& link);
bool WriteBarcode16(link::Link& link);

// The texts panel 2 of the status bar shows.
namespace barcodeText {
inline constexpr const char* kDetect = " Barcode mode detect ...";
inline constexpr const char* kReadFinished = " Barcode32 mode read to finished.";
inline constexpr const char* kWriteFinished = " Barcode wrote to finished.";
// Ours: a write that was not carried out to the end (nothing to write, no adapter, no UR96 or UR2 pack, no kind
// found, a part not acknowledged).
inline constexpr const char* kWriteFailed = " Barcode write failed.";
}  // namespace barcodeText

class UrBarcodeCommands {
 public:
  // start: how the workers are started (services.workers unless a test gives another).
  UrBarcodeCommands(link::Link& link, mainwindow::MainState& state, UrCommandRunner::StartWorker start = {});

  // The click handlers, on the GUI thread. BitBtn1Click does exactly what BitBtnBarCodeReadClick does.
  void BitBtnBarCodeWriteClick();
  void BitBtnBarCodeReadClick();
  void BitBtn1Click() { BitBtnBarCodeReadClick(); }

  // The workers, each a whole command from the open to the clean-up.
  void WriteBarcodeWorker();
  void ReadBarcodeWorker();

  // The kind readers on the adapter the caller holds open (the UR2 polling loop's).
  bool ReadBarcode32Eep() { return ReadBarcodeKind(link_, flags_, BarcodeKind::Barcode32Eep); }
  bool ReadBarcode32() { return ReadBarcodeKind(link_, flags_, BarcodeKind::Barcode32); }
  bool ReadBarcode16() { return ReadBarcodeKind(link_, flags_, BarcodeKind::Barcode16); }

  BarcodeKindFlags& flags() { return flags_; }

  // Gives monitoring the kind flags' clearing and test, and the three readers.
  void installOn(mainwindow::MonitorHooks& hooks);

 private:
  // Detection and the three readers in kind order, each after its reading text; the variant found.
  uint8_t detectAndReadKinds(link::Link& link, bool showMode);

  link::Link& link_;
  Controls& controls_;
  mainwindow::MainState& state_;
  UrCommandRunner runner_;
  BarcodeKindFlags flags_;
};

}  // namespace qv::commands
