#include "link/CanFrames.h"

#include "link/AdapterFrames.h"
#include "link/Link.h"
#include "platform/Time.h"

#include <algorithm>
#include <cstring>

namespace qv::link {
namespace {

constexpr uint8_t kCanHeader[4] = {0x55, 0xAA, 0x04, 0x01};
constexpr int kChk = 17;
constexpr int kEnd = 18;

// The check byte of a 19-byte frame: over bytes 2-16.
uint8_t checkByte(const uint8_t* frame) { return FrameChecksum(frame + 2, kChk - 2); }

void seal(std::array<uint8_t, kCanFrameSize>& frame) {
  frame[kChk] = checkByte(frame.data());
  frame[kEnd] = 0x0D;
}

// Whether the n bytes at p could be the beginning of a CAN frame: they agree with the header as far as they go.
bool mayStartFrame(const uint8_t* p, int n) {
  return std::memcmp(p, kCanHeader, static_cast<size_t>(std::min(n, 4))) == 0;
}

uint8_t writeFrame(Link& link, const std::array<uint8_t, kCanFrameSize>& frame) {
  uint32_t written = 0;
  const platform::FtStatus status = link.driver.Write(link.AdapterHandle.load(), frame.data(), kCanFrameSize, &written);
  return status == platform::FT_OK && written == kCanFrameSize ? 0 : 0xFF;
}

}  // namespace

std::array<uint8_t, kCanFrameSize> BuildCanFrame(const CanMessage& m) {
  std::array<uint8_t, kCanFrameSize> f{0x55, 0xAA, 0x04, 0x01};
  f[4] = static_cast<uint8_t>(m.dataLength << 4);
  f[5] = static_cast<uint8_t>((m.identifier >> 24) & 0x1F);
  if (m.messageFlag != 0) f[5] |= 0x40;
  if ((m.identifier & kCanIdBit29) != 0) f[5] |= 0x20;
  f[6] = static_cast<uint8_t>(m.identifier >> 16);
  f[7] = static_cast<uint8_t>(m.identifier >> 8);
  f[8] = static_cast<uint8_t>(m.identifier);
  std::copy(m.data, m.data + 8, f.begin() + 9);
  seal(f);
  return f;
}

bool ParseCanFrame(const uint8_t* f, CanRxEntry* e) {
  if (std::memcmp(f, kCanHeader, 4) != 0 || f[kChk] != checkByte(f)) return false;
  e->identifier = static_cast<uint32_t>(f[5] & 0x1F) << 24 | static_cast<uint32_t>(f[6]) << 16 |
                  static_cast<uint32_t>(f[7]) << 8 | f[8];
  if ((f[5] & 0x20) != 0) e->identifier |= kCanIdBit29;
  e->messageFlag = f[5] == 0x40 ? 1 : 0;
  e->dataLength = static_cast<uint8_t>(f[4] >> 4);
  std::copy(f + 9, f + 17, e->data);
  return true;
}

uint8_t CanRateByte(uint32_t rate) {
  switch (rate) {
    case 125000: return 0x10;
    case 250000: return 0x08;
    case 500000: return 0x04;
    default: return 0;
  }
}

std::array<uint8_t, kCanFrameSize> BuildCanSetBitRateFrame(uint8_t p) {
  std::array<uint8_t, kCanFrameSize> f{0x55, 0xAA, 0x01, 0x0B, 0x00, 0x00, 0x03, p, 0x04, 0x04, 0x07};
  seal(f);
  return f;
}

std::array<uint8_t, kCanFrameSize> BuildCanQueryBitRateFrame() {
  std::array<uint8_t, kCanFrameSize> f{0x55, 0xAA, 0x01, 0x09};
  seal(f);
  return f;
}

platform::FtStatus CanReceiver::pull(platform::Driver& driver, platform::FtHandle handle, uint32_t* got) {
  *got = 0;
  const platform::FtStatus status = driver.Read(handle, bytes_ + size_, kCanReadSize, got);
  size_ += static_cast<int>(*got);
  return status;
}

void CanReceiver::append(const uint8_t* bytes, int n) {
  std::memcpy(bytes_ + size_, bytes, static_cast<size_t>(n));
  size_ += n;
}

void CanReceiver::consume(int n) {
  std::memmove(bytes_, bytes_ + n, static_cast<size_t>(size_ - n));
  size_ -= n;
}

int CanReceiver::carried() const {
  std::lock_guard lock(mutex_);
  return size_;
}

uint8_t CanReceiver::readFrames(platform::Driver& driver, platform::FtHandle handle, CanRxEntries& entries,
                                int* count) {
  std::lock_guard lock(mutex_);
  entries.fill(CanRxEntry{});
  *count = 0;

  uint32_t got = 0;
  const platform::FtStatus status = pull(driver, handle, &got);
  uint8_t result = 0xFF;
  int found = 0;
  int taken = 0;  // bytes of the stream that the frames found (and the bytes between them) use up
  if (status == platform::FT_OK) {
    while (found < kCanRxEntries && taken + kCanFrameSize <= size_) {
      if (ParseCanFrame(bytes_ + taken, &entries[static_cast<size_t>(found)])) {
        ++found;
        taken += kCanFrameSize;
      } else {
        ++taken;  // not a frame here: look for the next header
      }
    }
    if (found < kCanRxEntries) {
      while (taken < size_ && !mayStartFrame(bytes_ + taken, size_ - taken)) ++taken;
    }
    result = found > 0 || got >= kCanFrameSize ? 0 : 0xFF;
  }
  // A read that ends inside a frame is followed by a second one, whose status is the result; its bytes come
  // after the ones above and are kept with what they left over.
  if (got % kCanFrameSize != 0) {
    uint32_t drained = 0;
    result = static_cast<uint8_t>(pull(driver, handle, &drained));
  }
  if (result == 0) {
    consume(taken);
    *count = found;
  } else {
    std::fill_n(entries.begin(), found, CanRxEntry{});
  }
  if (size_ > kCarryLimit) consume(size_ - kCarryLimit);  // only after failed reads: the oldest bytes go
  return result;
}

uint8_t CanReceiver::queryBitRate(platform::Driver& driver, platform::FtHandle handle, uint32_t* rate) {
  std::lock_guard lock(mutex_);
  // What waits in the adapter is read first, so that the reply is what the next read brings; CAN frames among
  // it stay in the stream for the next receive.
  uint32_t drained = 0;
  (void)pull(driver, handle, &drained);

  const std::array<uint8_t, kCanFrameSize> query = BuildCanQueryBitRateFrame();
  uint32_t written = 0;
  const bool sent = driver.Write(handle, query.data(), kCanFrameSize, &written) == platform::FT_OK &&
                    written == kCanFrameSize;
  platform::sleepMs(10);

  uint8_t result = 0;
  if (sent) {
    uint8_t reply[kCanReadSize];
    uint32_t got = 0;
    const platform::FtStatus status = driver.Read(handle, reply, kCanReadSize, &got);
    const bool framed = status == platform::FT_OK && got == kCanFrameSize && reply[0] == 0x55 &&
                        reply[1] == 0xAA && reply[kEnd] == 0x0D && reply[kChk] == checkByte(reply);
    static constexpr uint32_t kRates[] = {125000, 250000, 500000};
    for (uint32_t r : kRates) {
      const uint8_t pattern[5] = {0x03, CanRateByte(r), 0x04, 0x04, 0x07};
      if (framed && std::memcmp(reply + 6, pattern, 5) == 0) {
        *rate = r;
        result = 1;
      }
    }
    if (result == 0) append(reply, static_cast<int>(got));  // perhaps CAN frames, read next
  }
  if (size_ > kCarryLimit) consume(size_ - kCarryLimit);
  return result;
}

uint8_t CanSendFrame(Link& link, const CanMessage& message) { return writeFrame(link, BuildCanFrame(message)); }

uint8_t CanReadFrames(Link& link, CanRxEntries& entries, int* count) {
  return link.canReceiver.readFrames(link.driver, link.AdapterHandle.load(), entries, count);
}

uint8_t CanSetBitRate(Link& link, uint32_t rate) {
  const uint8_t p = CanRateByte(rate);
  if (p == 0) return 1;
  return writeFrame(link, BuildCanSetBitRateFrame(p)) == 0 ? 0 : 1;
}

uint8_t CanQueryBitRate(Link& link, uint32_t* rate) {
  return link.canReceiver.queryBitRate(link.driver, link.AdapterHandle.load(), rate);
}

}  // namespace qv::link
