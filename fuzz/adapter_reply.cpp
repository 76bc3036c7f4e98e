// The UR side's reply reader: whatever the adapter hands over, a reply is accepted exactly when its bytes say
// so, wherever it starts behind noise; the payload handed out is the frame's; the read takes no byte past the
// frame's end (nor past its read size of frame bytes); and nothing is written past the caller's buffer.

#include "FuzzLink.h"
#include "PackReply.h"
#include "link/AdapterFrames.h"

#include <memory>

using namespace qv;

namespace {

// The verdict on the frame bytes read, in a cleared buffer of the reader's size.
struct Expected {
  bool handedOut = false;  // header, type and length hold: L and the payload are handed out
  bool accepted = false;   // ... and CHK and the terminator hold as well
  uint16_t length = 0;
};

Expected judge(const std::vector<uint8_t>& rx, size_t capacity) {
  Expected e;
  if (rx[0] != 0x55 || rx[1] != 0xAA || rx[2] != 0x07 || rx[3] != 0x02) return e;
  e.length = static_cast<uint16_t>(rx[4] << 8 | rx[5]);
  if (e.length > 250 || e.length > capacity) return e;
  e.handedOut = true;
  const uint8_t chk = static_cast<uint8_t>(~fuzz::xorOf(rx.data() + 2, 4u + e.length));
  e.accepted = rx[6 + e.length] == chk && rx[7 + e.length] == 0x0D;
  return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::LinkRig& rig = fuzz::LinkRig::get();
  fuzz::Input in(data, size);
  const uint16_t readSize = in.u16() % 1100;  // the reader bounds it by its buffer
  const size_t capacity = in.u16() % 300;
  const uint8_t mode = in.u8();
  const size_t noise = (mode & 0x08) != 0 ? in.u8() % 32 : 0;
  std::vector<uint8_t> reply = in.rest();
  // Sealed: behind `noise` bytes of the input, the header, a length within the bytes and a good CHK and
  // terminator are laid over the input, so the checks past them are reached; a high bit then breaks one byte.
  if ((mode & 0x01) != 0 && reply.size() >= noise + 8) {
    uint8_t* f = reply.data() + noise;
    const size_t n = std::min<size_t>(reply.size() - noise - 8, 255);
    f[0] = 0x55, f[1] = 0xAA, f[2] = 0x07, f[3] = 0x02;
    f[4] = static_cast<uint8_t>(n >> 8), f[5] = static_cast<uint8_t>(n);
    f[6 + n] = static_cast<uint8_t>(~fuzz::xorOf(f + 2, 4 + n));
    f[7 + n] = 0x0D;
    if ((mode & 0x02) != 0) reply[(mode >> 2) % reply.size()] ^= 0x20;
  }

  rig.driver->reset();
  rig.driver->put(reply);
  const platform::FtStatus status = fuzz::statusFrom(mode >> 4);
  rig.driver->script.push_back({0xFFFFFFFF, status});
  rig.link.AdapterStatus.store(0x5A);

  constexpr uint8_t kUntouched = 0xA5;
  auto payload = std::make_unique<uint8_t[]>(capacity);  // exactly the caller's room, so ASan sees a spill
  std::fill_n(payload.get(), capacity, kUntouched);
  uint16_t L = 0xBEEF;
  const bool ok = link::ReadUartReplyN(rig.link, readSize, &L, payload.get(), capacity);

  const size_t limit = std::min<size_t>(readSize, 1024);
  const fuzz::ReplyRead read = fuzz::readReplies(reply, 1, limit);
  // A read size of nothing reads nothing.
  QV_FUZZ_CHECK(rig.link.AdapterStatus.load() == (limit == 0 ? 0x5A : status));
  Expected e;
  if (status == platform::FT_OK) {
    QV_FUZZ_CHECK(rig.driver->wire.size() == reply.size() - read.consumed);
    std::vector<uint8_t> rx(read.placed);
    rx.resize(1024, 0);
    e = judge(rx, capacity);
    if (e.handedOut) {
      QV_FUZZ_CHECK(L == e.length);
      QV_FUZZ_CHECK(std::equal(payload.get(), payload.get() + e.length, rx.begin() + 6));
    }
  }
  QV_FUZZ_CHECK(ok == e.accepted);
  if (!e.handedOut) QV_FUZZ_CHECK(L == 0xBEEF);
  QV_FUZZ_CHECK(std::all_of(payload.get() + (e.handedOut ? e.length : 0), payload.get() + capacity,
                            [](uint8_t b) { return b == kUntouched; }));
  return 0;
}
