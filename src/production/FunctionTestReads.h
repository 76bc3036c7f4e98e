#pragma once
// The Function Test's own CAN reads. Each sends its request and looks through what the adapter received; the
// values never pass through the read: every frame it takes goes to the CAN frame dispatcher, whose decoders
// write the main window's fields and EVT_TEST_SET. A read therefore says whether the pack answered, and here
// also whether that answer was decoded during the read (CanAnswerCounts), so that the check items judge the
// pack's present values and never a field an earlier read, monitoring or the start-up left behind.
//
// All run on the Function Test's worker, on the adapter the run opened. Each request and each receive is one
// unit under the exchange lock; the sleeps between them hold no lock.

#include "link/Link.h"
#include "mainwindow/MainState.h"
#include "production/CanAnswerCounts.h"

#include <array>
#include <cstdint>

namespace qv::production {

// What ReadCellVoltsCan found: answered is the read's own result (three of the four quarters are enough);
// fresh says, per quarter (cells 1-4, 5-8, 9-12, 13), whether its answer was decoded during the read.
struct CellVoltsRead {
  bool answered = false;
  std::array<bool, 4> fresh{};
};

// What ReadShippingModeAck found: the 0x200B answer header came (whatever its status), and whether the mode
// bit of its data was decoded during the read, and what it was.
struct ShippingModeRead {
  bool headerSeen = false;
  bool modeDecoded = false;
  bool mode = false;
};

class FunctionTestReads {
 public:
  FunctionTestReads(link::Link& link, const CanAnswerCounts& counts, mainwindow::RunFlagByte& runFlag);

  // 0x0001 indexes 1 and 2, up to 10 tries each: true when both were answered and decoded.
  bool ReadModelNameCan();
  // 0x0005: true when answered and decoded.
  bool ReadFwVersionCan();
  // 0x1006: true when answered and decoded (the decoder keeps nothing).
  bool Read1006Can();
  // 0x1003: true when answered and decoded.
  bool ReadTemperaturesCan();
  // 0x1001 indexes 1 to 4, up to 10 tries each, then 100 ms.
  CellVoltsRead ReadCellVoltsCan();
  // 0x1007: true when answered and decoded.
  bool ReadProtectionFlagsCan();
  // 0x0009 index 1, up to 5 tries, 100 ms after each empty one, ending early when the run flag is 0: true only
  // when the cell configuration answer itself was decoded (a broadcast does not count).
  bool ReadCellConfigCan();
  // 0x200B three times, always all three, each waiting up to 200 looks 1 ms apart for the answer flag.
  ShippingModeRead ReadShippingModeAck();
  // 0x4205 and 100 ms; nothing is read.
  void SendSleepCan();

  // The common read of one message and index: up to `tries` requests, 5 ms before each look, 10 ms after a
  // look without the decoded answer.
  bool ReadCan(uint16_t command, uint16_t index, int tries = 10);

 private:
  link::Link& link_;
  const CanAnswerCounts& counts_;
  mainwindow::RunFlagByte& runFlag_;
};

// The cell-balance comparison: true when the difference is at most the limit.
bool IsBalanceWithinLimit(int64_t difference, int64_t limit);

}  // namespace qv::production
