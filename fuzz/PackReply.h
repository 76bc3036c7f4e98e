#pragma once
// The second reading of a UR2 answer: its 21-byte 0x0702 frames as the frame tables lay them out.

#include "FuzzSupport.h"
#include "link/Link.h"

#include <cstdint>

namespace qv::fuzz {

constexpr int kAnswerFrame = 21;

inline uint16_t be16At(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// One answer frame: 55 AA 07 02 00 0D, the pack frame "@" 00 kind, eight message bytes, check (XOR of the
// pack frame's first eleven bytes), 0D; then CHK (0xFF minus the XOR of bytes 2 to 18) and 0D.
inline bool frameHolds(const uint8_t* b, uint8_t kind) {
  return b[0] == 0x55 && b[1] == 0xAA && b[2] == 0x07 && b[3] == 0x02 && b[4] == 0x00 && b[5] == 0x0D &&
         b[6] == 0x40 && b[7] == 0x00 && b[8] == kind && b[18] == 0x0D && b[20] == 0x0D &&
         b[17] == xorOf(b + 6, 11) && b[19] == static_cast<uint8_t>(0xFF - xorOf(b + 2, 17));
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

// The store as no reader leaves it, to tell "untouched" from "replaced".
inline link::PackReplyStore sentinelStore() {
  link::PackReplyStore s;
  s.count = 77;
  return s;
}

}  // namespace qv::fuzz
