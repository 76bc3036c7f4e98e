#pragma once
// Adapter frames on the UR side: 55 AA, type (big-endian), L (big-endian), for 0x0701 and 0x0118 requests an
// expected reply length E (big-endian), L payload bytes, CHK, 0D. CHK is FrameChecksum over everything
// between 55 AA and CHK. A reply's type is its request's plus one and carries no E.
//
// Every function here is one driver call (a receive purge before a UR request aside) on the link's adapter
// handle, storing the driver's status in AdapterStatus. None takes the exchange lock: the caller holds it.
// Arguments beyond what a frame buffer holds are refused: false, nothing written, AdapterStatus
// FT_INVALID_PARAMETER.

#include "link/Link.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace qv::link {

enum : uint16_t {
  kFrameUartRequest = 0x0701,  // bytes for the pack's serial line; answered by 0x0702
  kFrameUartReply = 0x0702,
  kFrameFixtureQuery = 0x0118,  // a fixture measurement; answered by 0x0119
  kFrameFixtureReply = 0x0119,
  kFrameFixtureSwitch = 0x011A,  // a fixture switch command; not answered
};

// The largest payloads the frame buffers take: a 0x0701 request of 128 bytes, a frame without E whose covered
// bytes fit 32, and replies whose checksum count still fits its 8-bit counter.
constexpr uint16_t kMaxUartRequestPayload = 118;
constexpr int kMaxAdapterFramePayload = 28;
constexpr uint16_t kMaxReplyPayload = 250;

// Every adapter frame starts with 55 AA and ends with 0D.
constexpr uint8_t kFrameLead0 = 0x55;
constexpr uint8_t kFrameLead1 = 0xAA;
constexpr uint8_t kFrameEnd = 0x0D;

// The head of a request to the pack's serial line: 55 AA, 0x0701, L and E, each big-endian.
constexpr std::array<uint8_t, 8> UartRequestHead(uint16_t L, uint16_t E) {
  return {kFrameLead0,
          kFrameLead1,
          static_cast<uint8_t>(kFrameUartRequest >> 8),
          static_cast<uint8_t>(kFrameUartRequest & 0xFF),
          static_cast<uint8_t>(L >> 8),
          static_cast<uint8_t>(L & 0xFF),
          static_cast<uint8_t>(E >> 8),
          static_cast<uint8_t>(E & 0xFF)};
}
// The head of an answer from the pack's serial line: 55 AA, 0x0702, L big-endian.
constexpr std::array<uint8_t, 6> UartReplyHead(uint16_t L) {
  return {kFrameLead0,
          kFrameLead1,
          static_cast<uint8_t>(kFrameUartReply >> 8),
          static_cast<uint8_t>(kFrameUartReply & 0xFF),
          static_cast<uint8_t>(L >> 8),
          static_cast<uint8_t>(L & 0xFF)};
}

// The read size of ReadUartReply.
constexpr uint16_t kUartReplyReadSize = 312;

// 0xFF minus the XOR of the bytes: the complement of their XOR. Zero bytes give 0xFF.
uint8_t FrameChecksum(const uint8_t* bytes, uint8_t count);

// One driver write of n bytes on the adapter handle; *written (when given) is how many the driver took, this
// write's own count whatever other threads write meanwhile. The status goes to AdapterStatus. True when the
// status is 0.
bool WriteAdapterBytes(Link& link, const uint8_t* bytes, uint32_t n, uint32_t* written = nullptr);
// One driver read of up to `wanted` bytes on the adapter handle; *got is what arrived. The status goes to
// AdapterStatus; true when it is 0.
bool ReadAdapterBytes(Link& link, uint8_t* buffer, uint32_t wanted, uint32_t* got);

// Reads `frames` adapter replies (55 AA, `type`, L, L bytes, CHK, 0D) into `out`, one after the other from
// out[0], with whatever came before each frame's 55 AA and type (noise, a stray byte, the tail of an earlier
// reply) left out; *got is the number of bytes placed, as a clean reply would have brought them. Reads end as
// soon as the frames are whole, when a read brings less than it asked for (the read time-out passed), when a
// frame's L is beyond kMaxReplyPayload, or when `limit` bytes have been read; all its reads together wait no
// longer than the read time-out the adapter was opened with, as one read would. The status of the last read
// goes to AdapterStatus; false when a read failed.
bool ReadReplyFrames(Link& link, uint16_t type, int frames, uint32_t limit, uint8_t* out, uint32_t capacity,
                     uint32_t* got);

// A read of up to `wanted` bytes that ends as soon as `complete` of them have come, taking with them whatever
// else has arrived by then (so a reply followed by more bytes is still seen as longer). A driver that cannot
// tell what waits gets the one read of `wanted` bytes. Status and result as ReadAdapterBytes.
bool ReadAdapterBytesUntil(Link& link, uint8_t* buffer, uint32_t complete, uint32_t wanted, uint32_t* got);

// Where a reply frame of `type` starts among n bytes read: the first 55 AA followed by the type; without one the
// first 55 AA (so a frame of another type still fails on its type); without that 0.
uint32_t ReplyStart(const uint8_t* bytes, uint32_t n, uint16_t type);

// A 0x0701 request (L+10 bytes) with E, the reply length asked of the pack. The adapter's receive queue is
// purged first, so the answer read next is this request's. No lamp.
bool SendUartRequest(Link& link, uint16_t L, uint16_t E, const uint8_t* payload);
// The fixed UR96 query 55 AA 07 01 00 03 00 60 26 0D 0A BB 0D, after a receive purge; the TX lamp toggles
// when it was written.
bool SendUr96Query(Link& link);
// A request without E: 55 AA, type, L as given, n payload bytes (at most kMaxAdapterFramePayload), CHK over
// n+4 bytes, 0D. No lamp.
bool SendAdapterFrame(Link& link, uint16_t type, uint16_t L, const uint8_t* payload, int n);
// A 0x0118 fixture query whose payload is the channel (big-endian; L must be 2). The RX lamp toggles before the
// write, whatever its outcome.
bool SendAdapterQuery(Link& link, uint16_t L, uint16_t E, uint16_t channel);

// A read of a 0x0702 reply (of up to 312 bytes, ReadUartReplyN: readSize, at most 1024), found where it starts
// among what the adapter brings and read until it is whole. A failed read, no reply header, or an L beyond
// kMaxReplyPayload or payloadCapacity: false, *L and payload untouched.
// Otherwise *L and the L payload bytes are handed out, and the result tells whether CHK and the terminator
// held; a read that stopped short of the frame's end fails there.
bool ReadUartReply(Link& link, uint16_t* L, uint8_t* payload, size_t payloadCapacity);
bool ReadUartReplyN(Link& link, uint16_t readSize, uint16_t* L, uint8_t* payload, size_t payloadCapacity);

}  // namespace qv::link
