#include "link/PackFrames.h"

#include "link/AdapterFrames.h"
#include "link/Bytes.h"

#include <algorithm>

namespace qv::link {

namespace {

// 0x0701 request around one pack frame: 55 AA, type, L, E, the frame, CHK, 0D.
constexpr int kRequestSize = 23;
// 0x0702 answer around one pack frame: 55 AA, type, L, the frame, CHK, 0D.
constexpr int kAnswerFrameSize = 21;
constexpr int kAnswerPackOffset = 6;
constexpr int kAnswerReadSize = 2 * kAnswerFrameSize;
constexpr int kAckReadSize = PackReplyStore::kCapacity * kAnswerFrameSize;
constexpr int kReceiveBufferSize = 1024;
// The frames an answer read passes over before it gives up on the answer it waits for: a late answer of the
// request before (two frames), a doubled one, and room for a stray half.
constexpr int kFramesPassedOver = 8;

// Message bytes of a header: ID (0-1), index (2-3), three bytes, status (7).
constexpr int kStatusByte = 7;

bool writeRequest(Link& link, const PackFrame& frame) {
  constexpr auto kHead = UartRequestHead(kPackFrameSize, kPackFrameSize);
  std::array<uint8_t, kRequestSize> out{};
  std::copy(kHead.begin(), kHead.end(), out.begin());
  std::copy(frame.begin(), frame.end(), out.begin() + kHead.size());
  out[21] = FrameChecksum(out.data() + 2, 19);
  out[22] = kFrameEnd;
  if (!WriteAdapterBytes(link, out.data(), kRequestSize)) return false;
  link.BlinkTx();
  return true;
}

PackMessageBytes requestMessage(uint16_t id, uint16_t index, const std::array<uint8_t, 3>& data, uint8_t count) {
  // clang-format off
  return {static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id), static_cast<uint8_t>(index >> 8),
          static_cast<uint8_t>(index), data[0], data[1], data[2], count};
  // clang-format on
}

// One 0x0702 answer frame of 21 bytes, read in place.
struct AnswerFrame {
  const uint8_t* b;
  const uint8_t* pack() const { return b + kAnswerPackOffset; }
  const uint8_t* message() const { return pack() + 3; }
  uint8_t kind() const { return pack()[2]; }
  uint8_t status() const { return message()[kStatusByte]; }

  // Envelope, constant bytes, kind and both check bytes.
  bool holds(uint8_t wantedKind) const {
    return b[0] == 0x55 && b[1] == 0xAA && be16(b + 2) == 0x0702 && be16(b + 4) == kPackFrameSize &&
           pack()[0] == 0x40 && pack()[1] == 0x00 && kind() == wantedKind && pack()[12] == 0x0D && b[20] == 0x0D &&
           pack()[11] == PackFrameCheck(pack()) && b[19] == FrameChecksum(b + 2, 17);
  }

  PackReplyFrame record() const {
    PackReplyFrame r;
    r.header = be16(b);
    r.type = be16(b + 2);
    r.length = be16(b + 4);
    r.lead = pack()[0];
    r.zero = pack()[1];
    r.kind = kind();
    std::copy(message(), message() + 8, r.message.begin());
    r.check = pack()[11];
    r.end = pack()[12];
    r.chk = b[19];
    r.terminator = b[20];
    return r;
  }
};

// Replaces the reply store by the first `count` answer frames of `bytes`.
void storeReply(Link& link, const uint8_t* bytes, int count) {
  link.PackReplyFrames.with([&](PackReplyStore& store) {
    store = PackReplyStore{};
    store.count = std::min(count, PackReplyStore::kCapacity);
    for (int i = 0; i < store.count; ++i) store.frames[i] = AnswerFrame{bytes + i * kAnswerFrameSize}.record();
  });
}

}  // namespace

PackFrame MakePackFrame(uint8_t kind, const PackMessageBytes& message) {
  PackFrame f{0x40, 0x00, kind};
  std::copy(message.begin(), message.end(), f.begin() + 3);
  f[11] = PackFrameCheck(f.data());
  f[12] = 0x0D;
  return f;
}

uint8_t PackFrameCheck(const uint8_t* frame) {
  uint8_t x = 0;
  for (int i = 0; i < 11; ++i) x ^= frame[i];
  return x;
}

bool SendPackCommand(Link& link, uint16_t id, uint16_t index, const std::array<uint8_t, 3>& data, uint8_t count) {
  link.PurgeSerialHandle();
  if (PackMessageSink* sink = link.packMessageSink()) sink->PackRequestGoingOut(id, index);
  return writeRequest(link, MakePackFrame(kPackRequest, requestMessage(id, index, data, count)));
}

bool SendPackCommand24(Link& link, uint16_t id, uint16_t index, uint32_t value, uint8_t count) {
  const std::array<uint8_t, 3> data{static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
                                    static_cast<uint8_t>(value)};
  return SendPackCommand(link, id, index, data, count);
}

bool SendPackText8(Link& link, const PackMessageBytes& bytes) {
  return writeRequest(link, MakePackFrame(kPackRequestData, bytes));
}

bool ReceivePackMessage(Link& link) {
  std::array<uint8_t, kReceiveBufferSize> buffer{};
  uint32_t got = 0;
  // Each of the two answer frames is found where it starts: noise before either does not shift them.
  if (!ReadReplyFrames(link, kFrameUartReply, 2, kAnswerReadSize, buffer.data(), buffer.size(), &got)) {
    link.controls.setColor(link.mainWindow.rxLamp, colour::White);
    return false;
  }
  if (got != kAnswerReadSize) return false;
  storeReply(link, buffer.data(), 2);

  const AnswerFrame header{buffer.data()};
  const AnswerFrame data{buffer.data() + kAnswerFrameSize};
  // A corrupted answer must reach neither the display nor the records saved from it, so both check bytes and
  // both CHK are tested besides the constant bytes.
  if (!header.holds(kPackAnswerHeader) || header.status() != 0 || !data.holds(kPackAnswerData)) return false;

  link.BlinkRx();
  if (PackMessageSink* sink = link.packMessageSink()) {
    sink->DispatchPackMessage(be16(header.message()), be16(header.message() + 2), data.message());
  }
  return true;
}

bool ReceivePackAnswerTo(Link& link, uint16_t id, uint16_t index) {
  // Frame by frame, so that what is not this request's answer costs only itself: a late answer of an earlier
  // request, half of one whose rest came after the next request, a doubled frame. None of those is dispatched:
  // an answer counts for the request that asked it, and only whole.
  std::array<uint8_t, kAnswerReadSize> answer{};
  bool headerHeld = false;
  for (int frame = 0; frame < kFramesPassedOver; ++frame) {
    std::array<uint8_t, kReceiveBufferSize> buffer{};
    uint32_t got = 0;
    if (!ReadReplyFrames(link, kFrameUartReply, 1, kAnswerFrameSize, buffer.data(), buffer.size(), &got)) {
      link.controls.setColor(link.mainWindow.rxLamp, colour::White);
      return false;
    }
    if (got != kAnswerFrameSize) return false;  // nothing more came within the time-out
    const AnswerFrame f{buffer.data()};
    if (f.holds(kPackAnswerHeader)) {
      headerHeld = f.status() == 0 && be16(f.message()) == id && be16(f.message() + 2) == index;
      if (headerHeld) std::copy_n(buffer.begin(), kAnswerFrameSize, answer.begin());
      continue;
    }
    if (headerHeld && f.holds(kPackAnswerData)) {
      std::copy_n(buffer.begin(), kAnswerFrameSize, answer.begin() + kAnswerFrameSize);
      storeReply(link, answer.data(), 2);
      link.BlinkRx();
      if (PackMessageSink* sink = link.packMessageSink()) sink->DispatchPackMessage(id, index, f.message());
      return true;
    }
    headerHeld = false;
  }
  return false;
}

bool WaitPackAck(Link& link, uint16_t id, uint16_t index) {
  std::array<uint8_t, kReceiveBufferSize> buffer{};
  uint32_t got = 0;
  if (!ReadReplyFrames(link, kFrameUartReply, PackReplyStore::kCapacity, kAckReadSize, buffer.data(), buffer.size(),
                       &got) ||
      got < kAnswerFrameSize) {
    return false;
  }
  link.BlinkRx();
  const int frames = static_cast<int>(std::min<uint32_t>(got, kAckReadSize)) / kAnswerFrameSize;
  storeReply(link, buffer.data(), frames);

  const AnswerFrame first{buffer.data()};
  const AnswerFrame lastOdd{buffer.data() + (frames - 1) / 2 * 2 * kAnswerFrameSize};
  return first.kind() == kPackAnswerHeader && first.pack()[1] == 0x00 && first.status() == 0 &&
         be16(first.message()) == id && be16(first.message() + 2) == index && lastOdd.status() == 0;
}

}  // namespace qv::link
