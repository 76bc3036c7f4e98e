#pragma once
// The adapter link: the one adapter handle that every exchange uses, the last driver status, the adapter table
// filled by the scan, the activity lamps, and the exchange lock that keeps one exchange (write, wait, read)
// apart from another's.
//
// Exchanges are free functions over a Link (AdapterFrames.h, PackFrames.h, CanFrames.h, CanLayer.h). They do
// not take the exchange lock themselves: their caller holds it for the unit it needs kept whole (monitoring for
// each step, a command for its whole exchange). A write needs only the driver's own write serialisation, so
// the CAN keep-alive can go out while another thread waits for an answer.
//
// The rules of the exchange lock (checked in builds with QV_CHECKS, see platform/Checks.h):
// - it is taken on a worker only: the GUI thread never waits for an exchange (a handler that must talk to the
//   pack starts a worker, see commands::UrCommandRunner);
// - nothing holding it asks the display anything (a Yes/No box, a dialog): ask first, or after, holding no lock;
// - nothing holding it reads a file (the capacity table is looked up after the exchange that brought its key);
// - a store rule never takes it (rules run under the store's lock), so the lock order is exchange, then store.

#include "link/CanAnswerFlags.h"
#include "link/CanLayer.h"
#include "platform/Checks.h"
#include "platform/Controls.h"
#include "platform/Driver.h"
#include "platform/Guarded.h"
#include "platform/Services.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>

namespace qv::link {

// One entry of the adapter table: what the scan recorded of an accepted adapter at a list position. The texts
// are copies, bounded by their fields, so an entry stays valid after the scan's list is gone.
struct AdapterTableEntry {
  uint32_t deviceId = 0;
  uint8_t flags = 0;
  uint32_t type = 0;
  uint32_t locId = 0;
  uint8_t position = 0;   // list position plus 1
  uint8_t count = 0;      // accepted adapters found by the scan
  bool hasTexts = false;  // the serial and description were recorded
  char serialNumber[17] = {};
  char description[65] = {};
};

constexpr int kAdapterTableSize = 32;

// One 0x0702 frame of a UR2 answer as the pack-frame readers keep it (PackFrames.h).
struct PackReplyFrame {
  // clang-format off
  uint16_t header = 0;               // 55 AA
  uint16_t type = 0;
  uint16_t length = 0;
  uint8_t lead = 0;                  // the pack frame's bytes 0 to 2: 40, 00, kind
  uint8_t zero = 0;
  uint8_t kind = 0;
  std::array<uint8_t, 8> message{};
  uint8_t check = 0;                 // the pack frame's check byte and terminator
  uint8_t end = 0;
  uint8_t chk = 0;                   // the adapter frame's CHK and terminator
  // clang-format on
  uint8_t terminator = 0;
};

// The frames of the last UR2 answer read, as many as an acknowledgement read can deliver.
struct PackReplyStore {
  static constexpr int kCapacity = 10;
  std::array<PackReplyFrame, kCapacity> frames{};
  int count = 0;
};

// Receivers of what the readers accept; the main window's dispatchers.
class PackMessageSink {
 public:
  virtual ~PackMessageSink() = default;
  virtual void DispatchPackMessage(uint16_t id, uint16_t index, const uint8_t data[8]) = 0;
  // A request for (id, index) is about to go out: what the sink gathers of a reading starts afresh with it.
  virtual void PackRequestGoingOut(uint16_t id, uint16_t index) {
    (void)id;
    (void)index;
  }
};

class CanFrameSink {
 public:
  virtual ~CanFrameSink() = default;
  virtual void DispatchCanFrame(uint8_t messageFlag, uint32_t identifier, const uint8_t data[8],
                                uint8_t dataLength) = 0;
  // Bytes that made no good frame (a frame whose check byte failed, a cut or garbled stretch) came off the wire
  // at this point of the stream, between the frames handed on before and after.
  virtual void CanFramesLost() {}
  // A request is about to go out: an answer header read before it whose data has not come is not to be paired
  // with whatever data comes next, which may be this request's answer after its own header was lost.
  virtual void CanRequestGoingOut() {}
};

// The main window's controls that the link and the configuration dialog act on. The main window owns their
// names; the composition hands them to the link. A control left unnamed is not written.
struct MainWindowControls {
  Control window;               // enabled and shown again when the dialog closes; its caption
  Control statusBar;            // panel 0: the link's state
  Control txLamp;               // toggles white/red on a write
  Control rxLamp;               // toggles white/lime on a read
  Control barcodeReadLabel;     // "OK21" / "OK22" on an accepted barcode read
  Control barcodeWriteLabel;    // "OK21" / "OK22" on an accepted barcode write
  Control keepAliveTimer;       // stopped by the dialog's choices
  Control pageControl;          // hidden while the protocol is chosen, shown by Yes
  Control lastChargeDateGroup;  // disabled by Yes on CAN
  Control run;                  // RUN: disabled while a scan runs
  // The pages, by their captions.
  Control pageUr, pageCan, pageQv, pageKl, pageSt, pageDia, pageEep, pageEng, pageEng2, pageCanEvt;
  // What leaving the dialog disables: RUN, Bus Hunt, Upgrade and the report READ.
  std::span<const Control> linkButtons;
  // What Yes enables; enabling shows no hidden control.
  std::span<const Control> confirmedButtons;
};

class Link {
 public:
  Link(platform::Services& services, const MainWindowControls& mainWindow);
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  platform::Services& services;
  Controls& controls;
  platform::Driver& driver;
  // The main window's controls the link writes.
  const MainWindowControls& mainWindow;

  // The handle of the open adapter (0: none). OpenAdapter writes it on success only; CloseAdapter clears it.
  std::atomic<platform::FtHandle> AdapterHandle{0};
  // The driver status of the last open, read or write; 0 is success.
  std::atomic<platform::FtStatus> AdapterStatus{0};

  // The adapter table: the scan writes it on its worker, OpenAdapter reads it.
  Guarded<std::array<AdapterTableEntry, kAdapterTableSize>> AdapterTable;
  // The location id of the accepted adapter the last scan recorded at that list position; none for a position
  // outside the table or without an accepted adapter.
  std::optional<uint32_t> AdapterLocation(int index) const;

  // The frames of the last UR2 answer; each pack-frame reader replaces them.
  Guarded<PackReplyStore> PackReplyFrames;

  // The exchange lock held, for as long as this lives; counted as held by this thread for the rules' checks.
  class ExchangeLock {
   public:
    explicit ExchangeLock(std::recursive_mutex& mutex) : lock_(mutex) {}
    ExchangeLock(const ExchangeLock&) = delete;
    ExchangeLock& operator=(const ExchangeLock&) = delete;

   private:
    std::lock_guard<std::recursive_mutex> lock_;
    platform::checks::Holding held_{platform::checks::Lock::Exchange};
  };

  // The exchange lock. Recursive, so that a command holding it for its whole exchange may call steps that take
  // it again. Never on the GUI thread, never under the store's lock.
  [[nodiscard]] ExchangeLock exchange() {
    QV_CHECK(!platform::checks::onGuiThread(), "no exchange wait on the GUI thread");
    QV_CHECK(!platform::checks::holds(platform::checks::Lock::Store), "store rules take no other lock");
    return ExchangeLock(exchangeMutex_);
  }

  // Opens the adapter chosen in the configuration dialog (CobBoxInterfaceName) with the time-outs of the chosen
  // protocol (RadioGroup_Protocol: UR read 100 ms, write 50 ms; CAN 1 ms each; none chosen: no time-outs).
  // True when open. A position without an accepted adapter, a failed open, or an open while the handle is live
  // gives false and leaves the handle as it was.
  bool OpenAdapter();
  // The time-outs OpenAdapter set on the handle, in milliseconds of the program's time (0: none set).
  uint32_t readTimeoutMs() const { return readTimeoutMs_.load(); }
  uint32_t writeTimeoutMs() const { return writeTimeoutMs_.load(); }
  // Closes the adapter and invalidates the handle; true whatever the driver says.
  bool CloseAdapter();

  // The purge that precedes a UR command's requests: the adapter's receive queue is emptied, so no stale byte
  // is taken for the answer.
  void PurgeSerialHandle();

  // The activity lamps: TX toggles white/red, RX white/lime.
  void BlinkTx();
  void BlinkRx();

  // The CAN side's receive stream (bytes read and not yet taken as frames) and the accepted answer headers.
  CanReceiver canReceiver;
  CanAnswerRegister canAnswers;

  // The CAN run that holds the adapter open (CAN monitoring): the CAN commands borrow its handle and never open
  // or close the adapter themselves, so without such a run they fail at once.
  void setCanSessionHeld(bool held) { canSession_.store(held); }
  bool canSessionHeld() const { return canSession_.load() && AdapterHandle.load() != 0; }

  // The dispatcher's answer flags, installed by the composition; none: the commands that poll them fail.
  void setCanAnswerFlags(CanAnswerFlags* flags) { canFlags_.store(flags); }
  CanAnswerFlags* canAnswerFlags() const { return canFlags_.load(); }

  void setPackMessageSink(PackMessageSink* sink) { packSink_.store(sink); }
  PackMessageSink* packMessageSink() const { return packSink_.load(); }
  void setCanFrameSink(CanFrameSink* sink) { canSink_.store(sink); }
  CanFrameSink* canFrameSink() const { return canSink_.load(); }

 private:
  std::recursive_mutex exchangeMutex_;
  std::mutex openMutex_;  // keeps one open or close whole against another
  std::atomic<PackMessageSink*> packSink_{nullptr};
  std::atomic<CanFrameSink*> canSink_{nullptr};
  std::atomic<CanAnswerFlags*> canFlags_{nullptr};
  std::atomic<bool> canSession_{false};
  std::atomic<uint32_t> readTimeoutMs_{0};
  std::atomic<uint32_t> writeTimeoutMs_{0};
};

// Marks a CAN run as holding the adapter for as long as it lasts.
class CanSessionScope {
 public:
  explicit CanSessionScope(Link& link) : link_(link) { link_.setCanSessionHeld(true); }
  ~CanSessionScope() { link_.setCanSessionHeld(false); }
  CanSessionScope(const CanSessionScope&) = delete;
  CanSessionScope& operator=(const CanSessionScope&) = delete;

 private:
  Link& link_;
};

}  // namespace qv::link
