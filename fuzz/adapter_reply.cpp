// The UR side's reply reader: whatever the adapter hands over, a reply is accepted exactly when its bytes say
// so, the payload handed out is the frame's, and nothing is written past the caller's buffer.

#include "FuzzLink.h"
#include "link/AdapterFrames.h"

#include <memory>

using namespace qv;

namespace {

// The second reading: the reply as its frame table lays it out.
struct Expected {
  bool handedOut = false;  // header, type and length hold: L and the payload are handed out
  bool accepted = false;   // ... and CHK and the terminator hold as well
  uint16_t length = 0;
};

Expected read(const std::vector<uint8_t>& rx, size_t capacity) {
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
  std::vector<uint8_t> reply = in.rest();
  // Sealed: the header, a length within the bytes and a good CHK and terminator are laid over the input, so
  // the checks past them are reached; a high bit then breaks one byte again.
  if ((mode & 0x01) != 0 && reply.size() >= 8) {
    const size_t n = std::min<size_t>(reply.size() - 8, 255);
    reply[0] = 0x55, reply[1] = 0xAA, reply[2] = 0x07, reply[3] = 0x02;
    reply[4] = static_cast<uint8_t>(n >> 8), reply[5] = static_cast<uint8_t>(n);
    reply[6 + n] = static_cast<uint8_t>(~fuzz::xorOf(reply.data() + 2, 4 + n));
    reply[7 + n] = 0x0D;
    if ((mode & 0x02) != 0) reply[(mode >> 2) % reply.size()] ^= 0x20;
  }

  rig.driver->reset();
  rig.driver->put(reply);
  const platform::FtStatus status = fuzz::statusFrom(mode >> 4);
  rig.driver->script.push_back({0xFFFFFFFF, status});

  constexpr uint8_t kUntouched = 0xA5;
  auto payload = std::make_unique<uint8_t[]>(capacity);  // exactly the caller's room, so ASan sees a spill
  std::fill_n(payload.get(), capacity, kUntouched);
  uint16_t L = 0xBEEF;
  const bool ok = link::ReadUartReplyN(rig.link, readSize, &L, payload.get(), capacity);

  // What the driver handed over, in a cleared buffer of the reader's size.
  std::vector<uint8_t> rx(1024, 0);
  const size_t got = std::min<size_t>({reply.size(), readSize, rx.size()});
  std::copy_n(reply.begin(), got, rx.begin());
  QV_FUZZ_CHECK_PENDING(rig.link.AdapterStatus.load() == status);
  Expected e;
  if (status == platform::FT_OK) e = read(rx, capacity);
  QV_FUZZ_CHECK_PENDING(ok == e.accepted);
  if (e.handedOut) {
    QV_FUZZ_CHECK_PENDING(L == e.length);
    QV_FUZZ_CHECK_PENDING(std::equal(payload.get(), payload.get() + e.length, rx.begin() + 6));
    QV_FUZZ_CHECK_PENDING(std::all_of(payload.get() + e.length, payload.get() + capacity,
                              [](uint8_t b) { return b == kUntouched; }));
  } else {
    QV_FUZZ_CHECK_PENDING(L == 0xBEEF);
    QV_FUZZ_CHECK_PENDING(std::all_of(payload.get(), payload.get() + capacity, [](uint8_t b) { return b == kUntouched; }));
  }
  return 0;
}
