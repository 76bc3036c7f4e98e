#pragma once
// The CAN adapter unit (Unit_qvcan_ptc) is this header, its frames, and CanLayer.h, the request layer over them.
//
// CAN adapter frames: every CAN message travels to and from the adapter as one fixed 19-byte frame
//
//   55 AA 04 01, DLC << 4, flags (0x40 message flag, 0x20 identifier bit 29, identifier bits 28-24),
//   identifier bits 23-16, 15-8, 7-0, eight data bytes, CHK over bytes 2-16, 0D
//
// and the adapter takes its bit-rate commands in frames of the same size (55 AA 01 0B set, 55 AA 01 09 query).
//
// The adapter's byte stream does not keep to frame boundaries: a read may end inside a frame, or start with
// bytes that belong to none. The receive side (CanReceiver, one per link) keeps what a read leaves over for the
// next one and finds frames again on 55 AA 04 01 with a valid check byte, so no good frame is thrown away.
// None of these functions takes the exchange lock: the caller holds it.

#include "platform/Driver.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <mutex>

namespace qv::link {

class Link;

constexpr int kCanFrameSize = 19;
constexpr int kCanReadSize = 1024;  // one driver read
constexpr int kCanRxEntries = 128;  // the receive array

constexpr uint32_t kCanIdBit29 = 0x20000000;  // the extra flag bit beside the 29-bit identifier

// What a sender fills in.
struct CanMessage {
  uint32_t identifier = 0;  // bits 28-0 the CAN identifier; bit 29 sent as 0x20 of the flag byte
  uint8_t messageFlag = 0;  // non-zero sends 0x40 of the flag byte
  uint8_t dataLength = 0;   // 0..8
  uint8_t data[8] = {};
};

// One received frame.
struct CanRxEntry {
  uint32_t identifier = 0;  // bits 28-0, and bit 29 when the flag byte has 0x20
  uint8_t messageFlag = 0;  // 1 when the flag byte is exactly 0x40
  uint8_t dataLength = 0;   // the length nibble as received (0..15)
  uint8_t data[8] = {};
};

using CanRxEntries = std::array<CanRxEntry, kCanRxEntries>;
// Beside a receive's entries: bit i set when bytes that made no good frame came off the wire before entry i
// (and after entry i-1, or after the last entry of an earlier read).
using CanRxLosses = std::bitset<kCanRxEntries>;

// The 19-byte frame of a message.
std::array<uint8_t, kCanFrameSize> BuildCanFrame(const CanMessage& message);
// A frame's entry; false (entry untouched) when its header is not 55 AA 04 01 or its check byte does not hold.
// The terminator is not examined.
bool ParseCanFrame(const uint8_t* frame, CanRxEntry* entry);

// The bit-rate frames. P of a rate: 0x10 for 125000, 0x08 for 250000, 0x04 for 500000, 0 for any other.
uint8_t CanRateByte(uint32_t rate);
// 55 AA 01 0B 00 00 03 P 04 04 07, six zeros, CHK, 0D.
std::array<uint8_t, kCanFrameSize> BuildCanSetBitRateFrame(uint8_t rateByte);
std::array<uint8_t, kCanFrameSize> BuildCanQueryBitRateFrame();

// The receive side of a link's CAN stream: the bytes read and not yet taken as frames. Its own lock keeps one
// receive whole, so two threads reading at once cannot split each other's frames.
class CanReceiver {
 public:
  CanReceiver() = default;
  CanReceiver(const CanReceiver&) = delete;
  CanReceiver& operator=(const CanReceiver&) = delete;

  // CanReadFrames and CanQueryBitRate, on this stream.
  uint8_t readFrames(platform::Driver& driver, platform::FtHandle handle, CanRxEntries& entries, int* count,
                     CanRxLosses* losses = nullptr);
  uint8_t queryBitRate(platform::Driver& driver, platform::FtHandle handle, uint32_t* rate);

  // Bytes carried over to the next read.
  int carried() const;

 private:
  // Room for what is carried and two reads; carried bytes never exceed kCarryLimit, so a read and its draining
  // read always fit. The limit leaves room for a busy bus's backlog that a bit-rate query reads past to find
  // its reply: each receive takes up to 128 frames, more than its reads bring.
  static constexpr int kCarryLimit = 8 * kCanReadSize;
  static constexpr int kCapacity = kCarryLimit + 2 * kCanReadSize;

  // One driver read appended to the stream. Where the driver tells what waits, the read asks for that, up to
  // the end of the frame it ends in, so it returns at once instead of at its time-out; when nothing waits it
  // ends as soon as one frame is whole (or at its time-out), with whatever came beside it; *sized says so.
  platform::FtStatus pull(platform::Driver& driver, platform::FtHandle handle, uint32_t* got,
                          bool* sized = nullptr);  // lock held
  void append(const uint8_t* bytes, int n);        // lock held
  void consume(int n);                             // lock held

  // Drops the oldest bytes beyond kCarryLimit (a loss).
  void trim();  // lock held
  // The offset of the adapter's bit-rate reply (an adapter-local 19-byte frame with its check byte) at or after
  // `from`, walking the stream frame by frame; -1 when there is none. *stray tells whether bytes at or after
  // `from` belong to no frame.
  int findRateReply(int from, bool* stray) const;  // lock held

  mutable std::mutex mutex_;
  uint8_t bytes_[kCapacity] = {};
  int size_ = 0;
  // Bytes were lost after the last frame handed out: the next frame is not the one that followed it on the wire.
  bool lost_ = false;
};

// One driver write of the message's frame: 0 when the status is 0 and 19 bytes were written, 0xFF otherwise.
uint8_t CanSendFrame(Link& link, const CanMessage& message);
// One read of what the adapter holds, unpacked into entries (the rest zero) with *count of them: 0 = read (the
// count may be 0 when no whole frame was there), 0xFF = the read failed or brought fewer than 19 bytes and no
// frame could be completed. When the read's length is not a multiple of 19 a second read follows and its status
// is the result; its bytes, and whatever part of a frame was left over, are kept for the next read, as are
// frames beyond the 128 entries. A result other than 0 takes no frame from the stream.
// `losses` (optional) marks where bytes that made no good frame lay between the entries.
uint8_t CanReadFrames(Link& link, CanRxEntries& entries, int* count, CanRxLosses* losses = nullptr);
// Writes the set frame: 0 when written whole, 1 otherwise. A rate the adapter does not know writes nothing.
uint8_t CanSetBitRate(Link& link, uint32_t rate);
// Asks the adapter for its bit rate: 1 with *rate set (125000, 250000 or 500000) when it answered with a valid
// reply, 0 otherwise (*rate untouched). CAN frames read meanwhile are kept for the next read.
uint8_t CanQueryBitRate(Link& link, uint32_t* rate);

}  // namespace qv::link
