#pragma once
// The one pattern of every CAN command: clear the command's own answer-flag byte (when it polls flags), send
// the request and its data message, sleep, look for the answer, try again a fixed number of times with a short
// sleep, and end with a 100 ms sleep. A part counts only when the pack accepted it (status 0 in its answer
// header), whichever thread's receive read that header: the answer register of the link (CanWaitResponse) or
// the dispatcher's acceptance record beside the answer flags say so.
//
// A command borrows the adapter of the CAN run that holds it and never opens or closes it; without such a run it
// fails at once, sending nothing. Each send (request with its data) and each look holds the exchange lock; the
// sleeps between them do not, so monitoring goes on beside the command, and an answer that monitoring's receive
// takes still counts for the command.

#include "link/CanAnswerFlags.h"

#include <cstdint>
#include <optional>
#include <span>

namespace qv::link {

class Link;

// How each part of a command is tried.
struct CanTries {
  int tries = 1;      // sends of one part at most
  int settleMs = 0;   // sleep after the request and its data, before the first look
  int looks = 1;      // looks for the answer per try
  int lookGapMs = 0;  // sleep after each look that found no answer
  int retryMs = 0;    // sleep after a try that found no answer
};

// One part: request (command, index, three zero argument bytes, value = the number of data bytes) and, when
// there are data bytes, the data message with them.
struct CanPart {
  uint16_t command = 0;
  uint16_t index = 0;
  std::span<const uint8_t> data;  // at most 8 bytes; empty: no data message, value 0
  // With a polled family: the part's bit in it. The part counts when that bit was accepted.
  uint8_t flagBit = 0;
};

class CanCommand {
 public:
  // `polled`: the family whose answer flags judge the parts; its byte (and only its) is cleared here. Without
  // it, the parts are judged by CanWaitResponse.
  CanCommand(Link& link, const CanTries& tries, std::optional<CanAckFamily> polled = std::nullopt);

  // A CAN run holds the adapter and, for a command that polls flags, the flags are installed.
  bool ready() const;
  // Tries the part up to the tries; true when the pack accepted it. False at once when not ready.
  bool send(const CanPart& part);
  // The final 100 ms sleep; returns `result`.
  bool finish(bool result);

 private:
  bool answered(const CanPart& part);  // one look, under the exchange lock

  Link& link_;
  CanTries tries_;
  std::optional<CanAckFamily> polled_;
  CanAnswerFlags* flags_ = nullptr;
  bool ready_ = false;
};

// The whole pattern for a command of several parts: each part tried in order (a part left unanswered does not
// stop the next one), then the final sleep. True when every part was accepted; false at once, with nothing
// sent, when no CAN run holds the adapter.
bool RunCanCommand(Link& link, const CanTries& tries, std::span<const CanPart> parts,
                   std::optional<CanAckFamily> polled = std::nullopt);

}  // namespace qv::link
