#pragma once
// UR2 pack frames. A pack frame is 13 bytes: "@", 00, its kind, eight message bytes, a check byte (the XOR of
// the eleven bytes before it) and 0D. Each request travels to the pack in its own 0x0701 adapter frame
// (L = 13, E = 13); the pack answers with a header frame (kind 3: ID, index, status) and a data frame (kind 4:
// eight bytes), each in its own 0x0702 adapter frame, 42 bytes in all.
//
// A read is SendPackCommand (or SendPackCommand24 for a numbered record), a wait, then ReceivePackMessage, which
// hands an accepted answer to the link's pack message sink. A write is SendPackCommand with its data count,
// SendPackText8 with the data, then WaitPackAck. None of these takes the exchange lock: the caller holds it for
// the whole exchange.

#include "link/Link.h"

#include <array>
#include <cstdint>

namespace qv::link {

enum : uint8_t {
  kPackRequest = 1,       // ID, index, three data bytes, count
  kPackRequestData = 2,   // eight data or text bytes
  kPackAnswerHeader = 3,  // ID, index, three bytes, status
  kPackAnswerData = 4,    // eight data bytes
};

constexpr int kPackFrameSize = 13;
using PackFrame = std::array<uint8_t, kPackFrameSize>;
using PackMessageBytes = std::array<uint8_t, 8>;

// The frame of that kind around the eight message bytes, check byte and terminator included.
PackFrame MakePackFrame(uint8_t kind, const PackMessageBytes& message);
// The check byte a frame must carry: the XOR of its bytes 0 to 10.
uint8_t PackFrameCheck(const uint8_t* frame);

// A kind-1 request: ID and index big-endian, three data bytes, the count of data bytes that follow in a kind-2
// frame (0 for a read). Purges the adapter's receive queue first, so the answer read next is this request's.
// True when the driver took the write; the TX lamp toggles then.
bool SendPackCommand(Link& link, uint16_t id, uint16_t index, const std::array<uint8_t, 3>& data, uint8_t count);
// The same with the low 24 bits of value, big-endian, as the three data bytes (a record number).
bool SendPackCommand24(Link& link, uint16_t id, uint16_t index, uint32_t value, uint8_t count);
// A kind-2 frame with exactly these eight bytes (the caller pads). No purge: the pack may already have answered
// the kind-1 frame of the same write, and WaitPackAck needs that answer too.
bool SendPackText8(Link& link, const PackMessageBytes& bytes);

// Reads one answer (42 bytes) and, when it is a header with status 0 followed by its data frame, both with
// their check bytes and CHK holding, toggles the RX lamp, hands ID, index and data to the pack message sink and
// gives true. A failed driver read whitens the RX lamp. The frames read go to link.PackReplyFrames.
bool ReceivePackMessage(Link& link);
// Reads the answer to (id, index): its header (status 0) and the data frame right after it, each whole within
// the read time-out. Whatever else comes first (a late answer to an earlier request, half of one, a doubled
// frame, up to eight frames) is passed over and not dispatched: it was not asked for here. True when that
// answer came and was handed to the sink; the frames go to link.PackReplyFrames.
bool ReceivePackAnswerTo(Link& link, uint16_t id, uint16_t index);

// Reads an acknowledgement (up to ten frames) of a write. True when the first frame is a kind-3 header for that
// ID and index with status 0, and the last frame at an odd position (first, third, ...) has status 0 too; the
// check bytes do not matter. The RX lamp toggles when a whole frame arrived. Nothing is dispatched.
bool WaitPackAck(Link& link, uint16_t id, uint16_t index);

}  // namespace qv::link
