#pragma once
// The CAN request and answer layer. The PC asks with a request 0x440 (command and index big-endian, three
// argument bytes, a value byte: the number of data bytes that follow) and, for writes, a data message 0x441;
// the pack answers with a header 0x442 (command, index, three bytes, status; 0 = accepted) and, for reads, the
// data 0x443. Every frame any receive function reads is handed to the link's CanFrameSink, so the frames of a
// command and of the monitoring cycle meet in one dispatcher, whichever thread reads them.
//
// A command's answer header may be read by another thread's receive (monitoring and commands take turns on the
// adapter under the exchange lock). The link's CanAnswerRegister keeps the accepted headers of the requests
// asked for, so CanWaitResponse still sees an answer that another receive consumed.

#include "link/CanFrames.h"
#include "link/PackMessages.h"

#include <array>
#include <cstdint>
#include <mutex>

namespace qv::link {

class Link;

using CanArgs = std::array<uint8_t, 3>;

// Accepted answer headers (status 0) of the requests sent, by command and index. An answer counts for the
// request armed last for its pair, when it was read after the arm; taking it uses it up.
class CanAnswerRegister {
 public:
  // A request for the pair goes out: earlier answers to it no longer count.
  void arm(uint16_t command, uint16_t index);
  // A receive read an accepted header for the pair.
  void note(uint16_t command, uint16_t index);
  // Whether an accepted header for the armed pair was read since the arm; it no longer counts afterwards.
  bool take(uint16_t command, uint16_t index);

 private:
  struct Slot {
    uint16_t command = 0;
    uint16_t index = 0;
    bool armed = false;
    bool answered = false;
    uint64_t armedAt = 0;  // arming order, for reusing the slot armed longest ago
  };
  // Enough for every pair of a monitoring cycle together with the commands running beside it.
  static constexpr int kSlots = 32;

  Slot* find(uint16_t command, uint16_t index);  // lock held

  std::mutex mutex_;
  std::array<Slot, kSlots> slots_{};
  uint64_t arms_ = 0;
};

// Request 0x440: command, index, the three argument bytes, value. True when written; the TX lamp toggles then.
// Arms the answer register for (command, index).
bool CanSendRequest(Link& link, uint16_t command, uint16_t index, const CanArgs& args, uint8_t value);
// Data 0x441 with length n and the n bytes (at most 8), the rest zero. True when written; no lamp.
bool CanSendRequestData(Link& link, const uint8_t* bytes, int n);
// A message of length 8: bytes 0-3 the first word from least to most significant, bytes 4-7 the second from
// most to least significant. True when written; the TX lamp toggles then.
bool CanSendWords(Link& link, uint32_t identifier, uint32_t first, uint32_t second);

// The receivers: one read, every frame handed on (those with identifier bit 29 only by CanReceiveDispatchAll),
// the RX lamp toggled for each. A frame with the message flag is handed on with eight zero data bytes; of the
// others as many data bytes as their length says, at most 8, the rest zero; the length is handed on as received.
//
// True when a broadcast 0x400 to 0x403 was among the frames. No wait.
bool CanReceiveDispatch(Link& link);
// True when any frame was handed on. Waits 5 ms first.
bool CanReceiveDispatchAll(Link& link);
bool CanReceiveDispatchAny(Link& link);
// A wait of waitMs, then CanReceiveDispatchAny: the two waits as one sleep of their sum, for a caller whose own
// wait stands right before the receive's (each sleep costs a wake-up of its own).
bool CanReceiveDispatchAnyAfter(Link& link, int waitMs);
// True when an accepted answer header (status 0) for the command and index was among the frames read, or was
// read by any receive since the request was sent. A match for 0x000A and 0x4008, indexes 1 and 2, writes
// "OK21" / "OK22" into Label_Barcode_R and Label_Barcode_W. No wait.
bool CanWaitResponse(Link& link, uint16_t command, uint16_t index);

}  // namespace qv::link
