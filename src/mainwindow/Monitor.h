#pragma once
// Monitoring: RUN starts a worker that opens the adapter, finds out which UR variant the pack speaks (or checks
// the CAN bit rate) and polls the pack until STOP clears the run flag. The UR74 and UR96 records go to their
// decoders, the UR2 and CAN answers to the dispatchers that the composition installs on the link; a step whose
// write or read fails is only skipped, so the last values stay on screen. Nothing but the run flag ends a
// polling loop.
//
// Each exchange (write, fixed wait, read) holds the link's exchange lock, so a command running beside the
// monitor (the CAN commands) never takes a monitoring answer for its own. The run flag is tested between the
// steps: a STOP takes effect at most one wait or one exchange later.
//
// The concurrency rules the loops keep (checked in builds with QV_CHECKS, see platform/Checks.h): RUN's handler
// on the GUI thread only switches buttons and starts the worker, it never waits; every wait and exchange is the
// worker's; a step holds the exchange lock for its write, wait and read alone, and decodes (and reads the
// capacity table, a file) after letting it go; no hook called under the lock asks the display anything.

#include "link/Link.h"
#include "mainwindow/MainState.h"
#include "mainwindow/Ur74Record.h"
#include "platform/Services.h"

#include <cstdint>
#include <functional>
#include <span>

namespace qv::mainwindow {

class MonitorLog;

// A read request of the polling loops by message ID and index; its data bytes are 00 00 00 and its count 0.
struct MessageRequest {
  uint16_t id;
  uint16_t index;
};

// The callees of monitoring that belong to the main window's display, the service commands, the EEPROM tools
// and the CAN dispatcher. The composition sets each one once the part that provides it is there; one left
// empty does nothing (and gives false). Those that talk to the pack are called under the exchange lock.
struct MonitorHooks {
  // Clears the live display before a run (the main window's).
  std::function<void()> ResetLiveDisplay;
  // Reads the pack clock into the display.
  std::function<void()> ReadRtc;
  // Reads the shipping mode into the display.
  std::function<void()> PollShippingMode;
  // The barcode kinds found: cleared at the start of a UR96 or UR2 run; any set stops the UR2 barcode reads.
  std::function<void()> ClearBarcodeKindFlags;
  std::function<bool()> AnyBarcodeKindFound;
  // The readers of one barcode kind each; true when this call found the kind.
  std::function<bool()> ReadBarcode32Eep;
  std::function<bool()> ReadBarcode32;
  std::function<bool()> ReadBarcode16;
  // Queries and sets the adapter's CAN bit rate; true when it runs at the rate wanted.
  std::function<bool(platform::FtHandle handle, uint32_t rate)> CheckCanBitRate;
  // Reads the shipping mode over CAN.
  std::function<void()> ReadShippingModeCan;
  // Reads the barcode of the kind chosen in RadioGroupBarcodeSelect into Edit_Barcode32_RW; the exchange alone
  // (monitoring looks the barcode up in the capacity table itself, once it has let the exchange lock go).
  std::function<void()> CanReadBarcodeWorker;
  // Reads the counts of the LEAD and LAST lists; true when there is a record to search.
  std::function<bool()> ReadEventCounts;
  // Searches the last charge date and shows it.
  std::function<void()> ReadLastChargeDate;
  // Sets the CAN dispatcher's count of non-zero cells to 0 before a cycle's cell requests.
  std::function<void()> ResetCanCellCount;
};

// The variant probes, each one exchange on the open adapter under the exchange lock; true when the pack
// answered as that variant.
bool ProbeUr74(link::Link& link);
bool ProbeUr96(link::Link& link);
bool ProbeUr2(link::Link& link);

// Up to three tries of each probe in the order UR74, UR96, UR2, each try only while the run flag is set, with
// a wait after each failed try. kVariantUr74, kVariantUr96, kVariantUr2, or kVariantNone.
uint8_t DetectUrVariant(link::Link& link, const RunFlagByte& runFlag);

class Monitor {
 public:
  Monitor(platform::Services& services, link::Link& link, MainState& state);
  Monitor(const Monitor&) = delete;
  Monitor& operator=(const Monitor&) = delete;

  // RUN / STOP, on the GUI thread. RUN switches its buttons off before the worker starts, so a second click
  // can only stop the run it started.
  void SpdBtnRUNClick();
  // The worker: start, open, variant, polling loop, end. Started by RUN through services.workers.
  void MonitorThreadProc();

  // Set by the composition before the first run.
  MonitorHooks hooks;

  // One cycle of a polling loop, on the adapter already open; each returns as soon as a check finds the run flag
  // cleared. The loops run them until STOP; the road tests run them on a worker of their own.
  void Ur74Cycle(MonitorLog* log);
  void Ur96Cycle(MonitorLog* log);
  void Ur2Cycle();
  void CanCycle();

 private:
  bool running() const { return state_.RunFlag.running(); }

  // The UR side: detection, then the loop of the variant found; the CAN side: bit rate, then its loop.
  void RunUr();
  void RunCan();
  void PollUr74();
  void PollUr96();
  void PollUr2();
  void PollCan();
  void StartCan();
  // Once the UR96 and UR2 loops know the EEPROM lists: the event counts decide whether the group is shown.
  bool FindEventRecords();
  // Runs the last-charge search with its check box disabled; the UR96 loop then unticks the box.
  void SearchLastChargeDate(bool untick);

  // Each a request and its answer, in order: UR2 write, 50 ms, check, read, check; CAN write, 1 ms, read
  // (which waits 5 ms itself), check. False as soon as a check finds the flag cleared.
  bool Ur2Requests(std::span<const MessageRequest> requests);
  bool CanRequests(std::span<const MessageRequest> requests);

  // Calls a hook under the exchange lock; an empty hook gives false.
  bool exchanged(const std::function<bool()>& hook);
  void exchanged(const std::function<void()>& hook);

  platform::Services& services_;
  Controls& controls_;
  link::Link& link_;
  MainState& state_;
  // The UR74 decoder's cell count: kept from one record, and from one run, to the next.
  Ur74CellCount ur74CellCount_;
};

}  // namespace qv::mainwindow
