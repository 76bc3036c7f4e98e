#include "link/CanCommand.h"

#include "link/CanLayer.h"
#include "link/Link.h"
#include "platform/Time.h"

#include <algorithm>

namespace qv::link {
namespace {

void pause(int ms) {
  if (ms > 0) platform::sleepMs(ms);
}

}  // namespace

CanCommand::CanCommand(Link& link, const CanTries& tries, std::optional<CanAckFamily> polled)
    : link_(link), tries_(tries), polled_(polled) {
  if (polled_) flags_ = link_.canAnswerFlags();
  ready_ = link_.canSessionHeld() && (!polled_ || flags_ != nullptr);
  // Only this command's family: another command may be polling the others right now.
  if (ready_ && polled_) flags_->clear(*polled_);
}

bool CanCommand::ready() const { return ready_; }

bool CanCommand::answered(const CanPart& part) {
  const auto exchange = link_.exchange();
  const bool response = CanWaitResponse(link_, part.command, part.index);
  if (!polled_) return response;
  return (flags_->accepted(*polled_) & part.flagBit) != 0;
}

bool CanCommand::send(const CanPart& part) {
  if (!ready_) return false;
  const int n = static_cast<int>(std::min<size_t>(part.data.size(), 8));
  for (int attempt = 0; attempt < tries_.tries; ++attempt) {
    // The run may end while the command tries: its adapter is then gone.
    if (!link_.canSessionHeld()) return false;
    {
      // Request and data together: the pack pairs a data message with the request before it.
      const auto exchange = link_.exchange();
      CanSendRequest(link_, part.command, part.index, {0, 0, 0}, static_cast<uint8_t>(n));
      if (n > 0) CanSendRequestData(link_, part.data.data(), n);
    }
    pause(tries_.settleMs);
    for (int look = 0; look < tries_.looks; ++look) {
      if (answered(part)) return true;
      pause(tries_.lookGapMs);
    }
    pause(tries_.retryMs);
  }
  return false;
}

bool CanCommand::finish(bool result) {
  platform::sleepMs(100);
  return result;
}

bool RunCanCommand(Link& link, const CanTries& tries, std::span<const CanPart> parts,
                   std::optional<CanAckFamily> polled) {
  CanCommand command(link, tries, polled);
  if (!command.ready()) return false;
  int accepted = 0;
  for (const CanPart& part : parts) accepted += command.send(part) ? 1 : 0;
  return command.finish(accepted == static_cast<int>(parts.size()));
}

}  // namespace qv::link
