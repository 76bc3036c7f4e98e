#pragma once
// The second reading of a UR2 answer: its 21-byte 0x0702 frames as the frame tables lay them out.

#include "FuzzSupport.h"
#include "link/Link.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qv::fuzz {

constexpr int kAnswerFrame = 21;

inline uint16_t be16At(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// One answer frame: 55 AA 07 02 00 0D, the pack frame "@" 00 kind, eight message bytes, check (XOR of the
// pack frame's first eleven bytes), 0D; then CHK (0xFF minus the XOR of bytes 2 to 18) and 0D.
inline bool frameHolds(const uint8_t* b, uint8_t kind) {
  return b[0] == 0x55 && b[1] == 0xAA && b[2] == 0x07 && b[3] == 0x02 && b[4] == 0x00 && b[5] == 0x0D && b[6] == 0x40 &&
         b[7] == 0x00 && b[8] == kind && b[18] == 0x0D && b[20] == 0x0D && b[17] == xorOf(b + 6, 11) &&
         b[19] == static_cast<uint8_t>(0xFF - xorOf(b + 2, 17));
}
inline const uint8_t* message(const uint8_t* frame) { return frame + 9; }
inline uint8_t status(const uint8_t* frame) { return frame[16]; }

// A frame made whole around the input's bytes at b: envelope, constant bytes and both checks.
inline void sealFrame(uint8_t* b, uint8_t kind) {
  b[0] = 0x55, b[1] = 0xAA, b[2] = 0x07, b[3] = 0x02, b[4] = 0x00, b[5] = 0x0D;
  b[6] = 0x40, b[7] = 0x00, b[8] = kind;
  b[17] = xorOf(b + 6, 11);
  b[18] = 0x0D;
  b[19] = static_cast<uint8_t>(0xFF - xorOf(b + 2, 17));
  b[20] = 0x0D;
}

// The reply store's record of the frame at b, field by field.
inline bool recordIs(const link::PackReplyFrame& r, const uint8_t* b) {
  return r.header == be16At(b) && r.type == be16At(b + 2) && r.length == be16At(b + 4) && r.lead == b[6] &&
         r.zero == b[7] && r.kind == b[8] && std::equal(r.message.begin(), r.message.end(), b + 9) &&
         r.check == b[17] && r.end == b[18] && r.chk == b[19] && r.terminator == b[20];
}

// The second reading of one read of `frames` 0x0702 replies out of the bytes on the wire. Each frame starts at
// the first place, from the end of the frame before it, where 55 AA 07 02 stands, or begins to stand where the
// bytes run out; what lies before it is noise and is left out. Only the frames' own bytes count against the
// limit. The read stops once the frames are whole, once `limit` frame bytes are in (inside a header when the
// limit is that small), at a length above 250 (its six bytes are taken), at the end of the wire, or when the
// reader's 2048 bytes are full.
struct ReplyRead {
  std::vector<uint8_t> placed;  // the frames back to back, the last perhaps cut short
  size_t consumed = 0;          // bytes taken off the wire, noise included
};

inline ReplyRead readReplies(const std::vector<uint8_t>& wire, int frames, size_t limit) {
  static constexpr uint8_t kHead[4] = {0x55, 0xAA, 0x07, 0x02};
  constexpr size_t kRoom = 2048;
  const size_t end = std::min(wire.size(), kRoom);
  ReplyRead r;
  const auto take = [&](size_t from, size_t n) {
    r.placed.insert(r.placed.end(), wire.begin() + static_cast<std::ptrdiff_t>(from),
                    wire.begin() + static_cast<std::ptrdiff_t>(from + n));
    r.consumed = from + n;
  };
  size_t pos = 0;
  for (int i = 0; i < frames; ++i) {
    const size_t budget = limit - r.placed.size();
    if (budget == 0) break;
    // As much of the head as the budget lets the reader see.
    const size_t look = std::min<size_t>(4, budget);
    size_t q = pos;
    while (q < end && !std::equal(wire.begin() + static_cast<std::ptrdiff_t>(q),
                                  wire.begin() + static_cast<std::ptrdiff_t>(q + std::min(look, end - q)), kHead)) {
      ++q;
    }
    const size_t avail = end - q;
    if (avail < look) {  // the wire ends inside a head, or holds none
      r.placed.insert(r.placed.end(), wire.begin() + static_cast<std::ptrdiff_t>(q),
                      wire.begin() + static_cast<std::ptrdiff_t>(end));
      r.consumed = end;
      return r;
    }
    if (look < 4 || avail < 6 || budget < 6) {  // the limit or the wire ends before the length is known
      take(q, std::min(avail, budget));
      return r;
    }
    const size_t n = be16At(wire.data() + q + 4);
    if (n > 250) {
      take(q, 6);
      return r;
    }
    const size_t whole = n + 8;
    take(q, std::min({whole, budget, avail}));
    if (r.consumed < q + whole) return r;  // cut by the limit or the end of the wire
    pos = q + whole;
  }
  r.consumed = pos;
  return r;
}

// The store as no reader leaves it, to tell "untouched" from "replaced".
inline link::PackReplyStore sentinelStore() {
  link::PackReplyStore s;
  s.count = 77;
  return s;
}

}  // namespace qv::fuzz
