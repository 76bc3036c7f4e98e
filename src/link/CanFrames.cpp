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

platform::FtStatus CanReceiver::pull(platform::Driver& driver, platform::FtHandle handle, uint32_t* got, bool* sized) {
  *got = 0;
  uint32_t queued = 0;
  const bool known = driver.GetQueueStatus(handle, &queued) == platform::FT_OK;
  if (sized != nullptr) *sized = known;
  // What waits, up to the end of the frame it ends in.
  const auto upToFrameEnd = [this](uint32_t n) {
    const auto end = static_cast<uint32_t>(size_) + n;
    return std::min<uint32_t>(n + (kCanFrameSize - end % kCanFrameSize) % kCanFrameSize, kCanReadSize);
  };
  if (!known) {
    const platform::FtStatus status = driver.Read(handle, bytes_ + size_, kCanReadSize, got);
    size_ += static_cast<int>(*got);
    return status;
  }
  // Nothing waiting: the read waits (within its time-out) for one whole frame, then takes what came with it.
  const uint32_t rest = upToFrameEnd(0);  // what completes a frame carried in part
  const uint32_t want = queued > 0 ? upToFrameEnd(queued) : rest > 0 ? rest : kCanFrameSize;
  platform::FtStatus status = driver.Read(handle, bytes_ + size_, want, got);
  size_ += static_cast<int>(*got);
  if (queued > 0 || status != platform::FT_OK || *got < want) return status;
  if (driver.GetQueueStatus(handle, &queued) != platform::FT_OK || queued == 0) return status;
  uint32_t more = 0;
  status = driver.Read(handle, bytes_ + size_, std::min(upToFrameEnd(queued), kCanReadSize - *got), &more);
  size_ += static_cast<int>(more);
  *got += more;
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

uint8_t CanReceiver::readFrames(platform::Driver& driver, platform::FtHandle handle, CanRxEntries& entries, int* count,
                                CanRxLosses* losses) {
  std::lock_guard lock(mutex_);
  entries.fill(CanRxEntry{});
  *count = 0;
  CanRxLosses lostBefore;

  uint32_t got = 0;
  bool sized = false;
  const platform::FtStatus status = pull(driver, handle, &got, &sized);
  uint8_t result = 0xFF;
  int found = 0;
  int taken = 0;  // bytes of the stream that the frames found (and the bytes between them) use up
  bool lost = lost_;
  if (status == platform::FT_OK) {
    while (found < kCanRxEntries && taken + kCanFrameSize <= size_) {
      if (ParseCanFrame(bytes_ + taken, &entries[static_cast<size_t>(found)])) {
        lostBefore[static_cast<size_t>(found)] = lost;
        lost = false;
        ++found;
        taken += kCanFrameSize;
      } else {
        ++taken;  // not a frame here: look for the next header
        lost = true;
      }
    }
    if (found < kCanRxEntries) {
      while (taken < size_ && !mayStartFrame(bytes_ + taken, size_ - taken)) {
        ++taken;
        lost = true;
      }
    }
    result = found > 0 || got >= kCanFrameSize ? 0 : 0xFF;
  }
  // A read that ends inside a frame is followed by a second one, whose status is the result; its bytes come
  // after the ones above and are kept with what they left over.
  // A read sized by what waited ends inside a frame only when the stream did: then the second read follows.
  const bool cut = sized ? status == platform::FT_OK && taken < size_ : got % kCanFrameSize != 0;
  if (cut) {
    uint32_t drained = 0;
    result = static_cast<uint8_t>(pull(driver, handle, &drained));
  }
  if (result == 0) {
    consume(taken);
    *count = found;
    lost_ = lost;
    if (losses != nullptr) *losses = lostBefore;
  } else {
    std::fill_n(entries.begin(), found, CanRxEntry{});
  }
  trim();  // only after failed reads: the oldest bytes go
  return result;
}

void CanReceiver::trim() {
  if (size_ <= kCarryLimit) return;
  consume(size_ - kCarryLimit);
  lost_ = true;
}

uint8_t CanReceiver::queryBitRate(platform::Driver& driver, platform::FtHandle handle, uint32_t* rate) {
  std::lock_guard lock(mutex_);
  // What waits in the adapter is read first; CAN frames among it stay in the stream for the next receive.
  uint32_t drained = 0;
  (void)pull(driver, handle, &drained);

  const std::array<uint8_t, kCanFrameSize> query = BuildCanQueryBitRateFrame();
  uint32_t written = 0;
  const bool sent = driver.Write(handle, query.data(), kCanFrameSize, &written) == platform::FT_OK &&
                    written == kCanFrameSize;
  platform::sleepMs(10);

  uint8_t result = 0;
  if (sent) {
    // On a busy bus the reply comes among CAN frames, behind those that waited longer than the drain could
    // take: read on while reads come back full and the reply is not there yet.
    const int replyFrom = size_;
    int reply = -1;
    bool stray = false;
    for (;;) {
      uint32_t got = 0;
      const platform::FtStatus status = pull(driver, handle, &got);
      if (status != platform::FT_OK) {
        stray = true;
        break;
      }
      reply = findRateReply(replyFrom, &stray);
      if (reply >= 0 || got < static_cast<uint32_t>(kCanReadSize) || size_ + kCanReadSize > kCapacity) break;
    }
    static constexpr uint32_t kRates[] = {125000, 250000, 500000};
    if (reply >= 0 && !stray) {
      for (uint32_t r : kRates) {
        const uint8_t pattern[5] = {0x03, CanRateByte(r), 0x04, 0x04, 0x07};
        if (std::memcmp(bytes_ + reply + 6, pattern, 5) == 0) {
          *rate = r;
          result = 1;
        }
      }
      // The adapter's own frame is no CAN traffic: the frames around it stay for the next receive.
      if (result == 1) {
        std::memmove(bytes_ + reply, bytes_ + reply + kCanFrameSize,
                     static_cast<size_t>(size_ - reply - kCanFrameSize));
        size_ -= kCanFrameSize;
      }
    }
  }
  trim();
  return result;
}

int CanReceiver::findRateReply(int from, bool* stray) const {
  int reply = -1;
  *stray = false;
  int at = 0;
  CanRxEntry skipped;
  while (at + kCanFrameSize <= size_) {
    const uint8_t* p = bytes_ + at;
    if (ParseCanFrame(p, &skipped)) {
      at += kCanFrameSize;
    } else if (reply < 0 && at >= from && p[0] == 0x55 && p[1] == 0xAA && p[kEnd] == 0x0D && p[kChk] == checkByte(p)) {
      reply = at;
      at += kCanFrameSize;
    } else {
      // A byte of no frame: before the reply read it is the stream's own business; in it, the reply read is
      // not the reply and frames alone.
      if (at >= from) *stray = true;
      ++at;
    }
  }
  // What is left may be the start of a CAN frame that the next read completes; anything else is stray.
  if (at < size_ && size_ > from && !mayStartFrame(bytes_ + at, size_ - at)) *stray = true;
  return reply;
}

uint8_t CanSendFrame(Link& link, const CanMessage& message) { return writeFrame(link, BuildCanFrame(message)); }

uint8_t CanReadFrames(Link& link, CanRxEntries& entries, int* count, CanRxLosses* losses) {
  return link.canReceiver.readFrames(link.driver, link.AdapterHandle.load(), entries, count, losses);
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
