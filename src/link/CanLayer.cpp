#include "link/CanLayer.h"

#include "link/Bytes.h"
#include "link/Link.h"
#include "platform/Time.h"

#include <algorithm>

namespace qv::link {
namespace {

enum class Receive { Broadcasts, All, Any, Answer };

struct Pair {
  uint16_t command = 0;
  uint16_t index = 0;
};

// What an accepted answer does besides counting: a short pause and, for the barcode parts, the group's label.
struct MatchEffect {
  uint16_t command;
  uint16_t index;
  Control MainWindowControls::*label;  // nullptr: the pause alone
  const char* text;
};
constexpr MatchEffect kMatchEffects[] = {
    {msg::kBarcode16, 1, &MainWindowControls::barcodeReadLabel, "OK21"},
    {msg::kBarcode16, 2, &MainWindowControls::barcodeReadLabel, "OK22"},
    {msg::kBarcode16Write, 1, &MainWindowControls::barcodeWriteLabel, "OK21"},
    {msg::kBarcode16Write, 2, &MainWindowControls::barcodeWriteLabel, "OK22"},
    {msg::kBarcode32Write, 1, nullptr, nullptr},
};

bool send(Link& link, uint32_t identifier, const uint8_t* data, int n) {
  CanMessage m;
  m.identifier = identifier;
  m.dataLength = static_cast<uint8_t>(n);
  std::copy(data, data + n, m.data);
  return CanSendFrame(link, m) == 0;
}

// One read; every frame handed on as the mode says. The result: a broadcast was among them (Broadcasts), any
// frame was handed on (All, Any), or an accepted header for `asked` was among them (Answer). A header for `asked`
// that ends the read has its data frame still to come: one more read hands that on too, so that whoever acts on
// the answer finds its data decoded.
bool receive(Link& link, Receive mode, Pair asked = {}, bool followUp = true, int waitedBeforeMs = 0) {
  if (mode == Receive::All || mode == Receive::Any) platform::sleepMs(waitedBeforeMs + 5);
  CanRxEntries entries;
  CanRxLosses losses;
  int count = 0;
  if (CanReadFrames(link, entries, &count, &losses) != 0 || count == 0) return false;

  CanFrameSink* sink = link.canFrameSink();
  bool result = false;
  bool askedHeaderLast = false;
  for (int i = 0; i < count; ++i) {
    const CanRxEntry& e = entries[static_cast<size_t>(i)];
    // Told even for a frame not handed on below: what was lost may have been the partner of the next one.
    if (losses[static_cast<size_t>(i)] && sink != nullptr) sink->CanFramesLost();
    if ((e.identifier & kCanIdBit29) != 0 && mode != Receive::All) continue;
    uint8_t data[8] = {};
    if (e.messageFlag == 0) std::copy_n(e.data, std::min<int>(e.dataLength, 8), data);
    link.BlinkRx();
    if (e.identifier == kCanAnswerHeader && data[7] == 0) {
      const Pair answered{be16(data), be16(data + 2)};
      link.canAnswers.note(answered.command, answered.index);
      if (mode == Receive::Answer && answered.command == asked.command && answered.index == asked.index) {
        result = true;
        askedHeaderLast = i == count - 1;
      }
    }
    switch (mode) {
      case Receive::Broadcasts: result = result || isCanBroadcast(e.identifier); break;
      case Receive::All:
      case Receive::Any: result = true; break;
      case Receive::Answer: break;  // the header check above
    }
    if (sink != nullptr) sink->DispatchCanFrame(e.messageFlag, e.identifier, data, e.dataLength);
  }
  if (askedHeaderLast && followUp) receive(link, Receive::Answer, {}, false);
  return result;
}

}  // namespace

CanAnswerRegister::Slot* CanAnswerRegister::find(uint16_t command, uint16_t index) {
  for (Slot& s : slots_) {
    if (s.armed && s.command == command && s.index == index) return &s;
  }
  return nullptr;
}

void CanAnswerRegister::arm(uint16_t command, uint16_t index) {
  std::lock_guard lock(mutex_);
  Slot* slot = find(command, index);
  if (slot == nullptr) {
    slot = &*std::min_element(slots_.begin(), slots_.end(),
                              [](const Slot& a, const Slot& b) { return a.armedAt < b.armedAt; });
  }
  *slot = Slot{command, index, true, false, ++arms_};
}

void CanAnswerRegister::note(uint16_t command, uint16_t index) {
  std::lock_guard lock(mutex_);
  if (Slot* slot = find(command, index)) slot->answered = true;
}

bool CanAnswerRegister::take(uint16_t command, uint16_t index) {
  std::lock_guard lock(mutex_);
  Slot* slot = find(command, index);
  if (slot == nullptr || !slot->answered) return false;
  slot->answered = false;
  return true;
}

bool CanSendRequest(Link& link, uint16_t command, uint16_t index, const CanArgs& args, uint8_t value) {
  // clang-format off
  const uint8_t data[8] = {static_cast<uint8_t>(command >> 8), static_cast<uint8_t>(command),
                           static_cast<uint8_t>(index >> 8),   static_cast<uint8_t>(index),
                           args[0], args[1], args[2], value};
  // clang-format on
  link.canAnswers.arm(command, index);  // before the write: the answer may be read at once
  if (CanFrameSink* sink = link.canFrameSink()) sink->CanRequestGoingOut();
  if (!send(link, kCanRequest, data, 8)) return false;
  link.BlinkTx();
  return true;
}

bool CanSendRequestData(Link& link, const uint8_t* bytes, int n) {
  return send(link, kCanRequestData, bytes, std::clamp(n, 0, 8));
}

bool CanSendWords(Link& link, uint32_t identifier, uint32_t first, uint32_t second) {
  const uint8_t data[8] = {static_cast<uint8_t>(first),        static_cast<uint8_t>(first >> 8),
                           static_cast<uint8_t>(first >> 16),  static_cast<uint8_t>(first >> 24),
                           static_cast<uint8_t>(second >> 24), static_cast<uint8_t>(second >> 16),
                           static_cast<uint8_t>(second >> 8),  static_cast<uint8_t>(second)};
  if (!send(link, identifier, data, 8)) return false;
  link.BlinkTx();
  return true;
}

bool CanReceiveDispatch(Link& link) { return receive(link, Receive::Broadcasts); }
bool CanReceiveDispatchAll(Link& link) { return receive(link, Receive::All); }
bool CanReceiveDispatchAny(Link& link) { return receive(link, Receive::Any); }
bool CanReceiveDispatchAnyAfter(Link& link, int waitMs) { return receive(link, Receive::Any, {}, true, waitMs); }

bool CanWaitResponse(Link& link, uint16_t command, uint16_t index) {
  const bool read = receive(link, Receive::Answer, {command, index});
  // Taken also when this read found it, so that one answer counts once; without this read, it is an answer
  // that another thread's receive consumed.
  const bool registered = link.canAnswers.take(command, index);
  if (!read && !registered) return false;
  for (const MatchEffect& effect : kMatchEffects) {
    if (effect.command != command || effect.index != index) continue;
    platform::sleepMs(1);
    if (effect.label != nullptr) link.controls.setText(link.mainWindow.*effect.label, QString::fromLatin1(effect.text));
  }
  return true;
}

}  // namespace qv::link
