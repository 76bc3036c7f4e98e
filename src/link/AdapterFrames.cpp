#include "link/AdapterFrames.h"

#include "link/Bytes.h"
#include "platform/Time.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

namespace qv::link {
namespace {

using platform::FT_INVALID_PARAMETER;
using platform::FT_OK;

// A request being built: 55 AA and the type, then the caller's fields; finish() adds CHK and 0D. The limits
// of the senders keep every frame within the buffer.
class FrameBuilder {
 public:
  explicit FrameBuilder(uint16_t type) {
    put(0x55);
    put(0xAA);
    put16(type);
  }
  void put(uint8_t b) { bytes_[size_++] = b; }
  void put16(uint16_t v) {
    put(static_cast<uint8_t>(v >> 8));
    put(static_cast<uint8_t>(v & 0xFF));
  }
  void put(const uint8_t* p, size_t n) {
    std::copy_n(p, n, bytes_.begin() + static_cast<std::ptrdiff_t>(size_));
    size_ += n;
  }
  bool finishAndWrite(Link& link) {
    const uint8_t chk = FrameChecksum(bytes_.data() + 2, static_cast<uint8_t>(size_ - 2));
    put(chk);
    put(0x0D);
    return WriteAdapterBytes(link, bytes_.data(), static_cast<uint32_t>(size_));
  }

 private:
  std::array<uint8_t, 128> bytes_{};
  size_t size_ = 0;
};

bool refuse(Link& link) {
  link.AdapterStatus.store(FT_INVALID_PARAMETER);
  return false;
}

// The UR96 query: three payload bytes asking for the 96-byte record, its CHK (0xBB) worked out as any frame's.
constexpr uint16_t kUr96RecordBytes = 96;
constexpr std::array<uint8_t, 3> kUr96QueryPayload = {0x26, 0x0D, 0x0A};
constexpr std::array<uint8_t, 13> kUr96Query = [] {
  std::array<uint8_t, 13> q{};
  const auto head = UartRequestHead(static_cast<uint16_t>(kUr96QueryPayload.size()), kUr96RecordBytes);
  size_t n = 0;
  for (uint8_t b : head) q[n++] = b;
  for (uint8_t b : kUr96QueryPayload) q[n++] = b;
  uint8_t x = 0;
  for (size_t i = 2; i < n; ++i) x ^= q[i];
  q[n++] = static_cast<uint8_t>(0xFF - x);
  q[n] = kFrameEnd;
  return q;
}();
static_assert(kUr96Query[11] == 0xBB && kUr96Query[12] == 0x0D);

}  // namespace

uint8_t FrameChecksum(const uint8_t* bytes, uint8_t count) {
  uint8_t x = 0;
  for (uint8_t i = 0; i < count; ++i) x ^= bytes[i];
  return static_cast<uint8_t>(0xFF - x);
}

bool WriteAdapterBytes(Link& link, const uint8_t* bytes, uint32_t n, uint32_t* written) {
  uint32_t took = 0;
  const platform::FtStatus status = link.driver.Write(link.AdapterHandle.load(), bytes, n, &took);
  if (written != nullptr) *written = took;
  link.AdapterStatus.store(status);
  return status == FT_OK;
}

bool ReadAdapterBytes(Link& link, uint8_t* buffer, uint32_t wanted, uint32_t* got) {
  const platform::FtStatus status = link.driver.Read(link.AdapterHandle.load(), buffer, wanted, got);
  link.AdapterStatus.store(status);
  return status == FT_OK;
}

namespace {

// Where the frames stand in what has been read, and how many bytes more make the next one whole.
struct ReplyLayout {
  uint32_t need = 0;  // 0: nothing more to wait for
  int whole = 0;      // frames complete
  std::array<uint32_t, 16> start{};
  std::array<uint32_t, 16> size{};  // the frame's bytes, complete or not
};

constexpr uint32_t kReplyHead = 6;  // 55 AA, type, L

// One of the reads that make up a reply. Together they wait no longer than one read time-out, as one read of
// the whole reply would: a later read waits only for what is left of it, and none once it has passed.
bool readWithin(Link& link, std::chrono::steady_clock::time_point started, uint8_t* buffer, uint32_t want,
                uint32_t* got) {
  const uint32_t timeout = link.readTimeoutMs();
  if (timeout == 0) return ReadAdapterBytes(link, buffer, want, got);
  const double elapsedMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count() /
      platform::timeScale();
  const int64_t left = static_cast<int64_t>(timeout) - static_cast<int64_t>(elapsedMs);
  if (left >= static_cast<int64_t>(timeout)) return ReadAdapterBytes(link, buffer, want, got);
  const platform::FtHandle h = link.AdapterHandle.load();
  if (left <= 0) {
    // The time is up: what has come by now, without waiting.
    *got = 0;
    uint32_t queued = 0;
    if (link.driver.GetQueueStatus(h, &queued) != FT_OK || queued == 0) return true;
    return ReadAdapterBytes(link, buffer, std::min(want, queued), got);
  }
  if (link.driver.SetTimeouts(h, static_cast<uint32_t>(left), link.writeTimeoutMs()) != FT_OK) {
    return ReadAdapterBytes(link, buffer, want, got);
  }
  const bool read = ReadAdapterBytes(link, buffer, want, got);
  link.driver.SetTimeouts(h, timeout, link.writeTimeoutMs());
  return read;
}

// The reply's read time-out has passed (none set: every read is the last).
bool timeIsUp(Link& link, std::chrono::steady_clock::time_point started) {
  const uint32_t timeout = link.readTimeoutMs();
  if (timeout == 0) return true;
  const double elapsedMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count() /
      platform::timeScale();
  return elapsedMs >= static_cast<double>(timeout) - 0.5;
}

ReplyLayout layoutReplies(const uint8_t* raw, uint32_t have, uint16_t type, int frames) {
  const uint8_t head[4] = {0x55, 0xAA, static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type)};
  ReplyLayout layout;
  uint32_t pos = 0;
  for (int i = 0; i < frames; ++i) {
    uint32_t k = pos;
    // The first place from pos on that agrees with the frame head as far as the bytes go.
    while (k < have && std::memcmp(raw + k, head, std::min<uint32_t>(4, have - k)) != 0) ++k;
    layout.start[static_cast<size_t>(i)] = k;
    if (k + kReplyHead > have) {
      layout.need = k + kReplyHead - have;
      layout.size[static_cast<size_t>(i)] = have - k;
      return layout;
    }
    const uint32_t n = be16(raw + k + 4);
    // A length no reply has: nothing more is worth waiting for, this frame's rest nor any frame behind it (those
    // bytes stay for the next read); the reader's own tests refuse it.
    if (n > kMaxReplyPayload) {
      layout.size[static_cast<size_t>(i)] = kReplyHead;
      return layout;
    }
    const uint32_t frame = n + 8;
    layout.size[static_cast<size_t>(i)] = std::min(frame, have - k);
    if (k + frame > have) {
      layout.need = k + frame - have;
      return layout;
    }
    ++layout.whole;
    pos = k + frame;
  }
  return layout;
}

}  // namespace

bool ReadAdapterBytesUntil(Link& link, uint8_t* buffer, uint32_t complete, uint32_t wanted, uint32_t* got) {
  *got = 0;
  uint32_t queued = 0;
  const platform::FtHandle h = link.AdapterHandle.load();
  if (link.driver.GetQueueStatus(h, &queued) != FT_OK) return ReadAdapterBytes(link, buffer, wanted, got);
  complete = std::min(complete, wanted);
  if (!ReadAdapterBytes(link, buffer, complete, got)) return false;
  if (*got < complete || link.driver.GetQueueStatus(h, &queued) != FT_OK || queued == 0) return true;
  uint32_t more = 0;
  const bool read = ReadAdapterBytes(link, buffer + *got, std::min(queued, wanted - *got), &more);
  *got += more;
  return read;
}

uint32_t ReplyStart(const uint8_t* bytes, uint32_t n, uint16_t type) {
  const uint8_t head[4] = {0x55, 0xAA, static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type)};
  for (uint32_t k = 0; k + 4 <= n; ++k) {
    if (std::memcmp(bytes + k, head, 4) == 0) return k;
  }
  for (uint32_t k = 0; k + 2 <= n; ++k) {
    if (bytes[k] == 0x55 && bytes[k + 1] == 0xAA) return k;
  }
  return 0;
}

bool ReadReplyFrames(Link& link, uint16_t type, int frames, uint32_t limit, uint8_t* out, uint32_t capacity,
                     uint32_t* got) {
  std::array<uint8_t, 2048> raw{};
  const auto started = std::chrono::steady_clock::now();
  frames = std::clamp(frames, 1, 16);
  uint32_t have = 0;
  ReplyLayout layout;
  *got = 0;
  for (;;) {
    layout = layoutReplies(raw.data(), have, type, frames);
    // The limit counts the frames' own bytes: noise before or between them does not shorten the reply.
    uint32_t used = 0;
    for (int i = 0; i <= std::min(layout.whole, frames - 1); ++i) used += layout.size[static_cast<size_t>(i)];
    if (layout.need == 0 || used >= limit || have >= raw.size()) break;
    const uint32_t want = std::min({layout.need, limit - used, static_cast<uint32_t>(raw.size()) - have});
    uint32_t arrived = 0;
    if (!readWithin(link, started, raw.data() + have, want, &arrived)) return false;
    have += arrived;
    // A read that came back short ends the reply only once its time is up: an adapter hands bytes over in
    // chunks, and the rest of a frame may still be on its way.
    if (arrived < want && timeIsUp(link, started)) {
      layout = layoutReplies(raw.data(), have, type, frames);
      break;
    }
  }
  // The frames, placed back to back; of one that is not whole, what came of it.
  const int placed = std::min(frames, layout.whole + 1);
  for (int i = 0; i < placed; ++i) {
    const auto at = static_cast<size_t>(i);
    const uint32_t n = std::min(layout.size[at], capacity - *got);
    std::memmove(out + *got, raw.data() + layout.start[at], n);
    *got += n;
  }
  return true;
}

bool SendUartRequest(Link& link, uint16_t L, uint16_t E, const uint8_t* payload) {
  if (L > kMaxUartRequestPayload || (payload == nullptr && L > 0)) return refuse(link);
  FrameBuilder frame(kFrameUartRequest);
  frame.put16(L);
  frame.put16(E);
  frame.put(payload, L);
  link.PurgeSerialHandle();
  return frame.finishAndWrite(link);
}

bool SendUr96Query(Link& link) {
  link.PurgeSerialHandle();
  if (!WriteAdapterBytes(link, kUr96Query.data(), kUr96Query.size())) return false;
  link.BlinkTx();
  return true;
}

bool SendAdapterFrame(Link& link, uint16_t type, uint16_t L, const uint8_t* payload, int n) {
  if (n < 0 || n > kMaxAdapterFramePayload || (payload == nullptr && n > 0)) return refuse(link);
  FrameBuilder frame(type);
  frame.put16(L);
  frame.put(payload, static_cast<size_t>(n));
  return frame.finishAndWrite(link);
}

bool SendAdapterQuery(Link& link, uint16_t L, uint16_t E, uint16_t channel) {
  if (L != 2) return refuse(link);
  link.BlinkRx();
  FrameBuilder frame(kFrameFixtureQuery);
  frame.put16(L);
  frame.put16(E);
  frame.put16(channel);
  return frame.finishAndWrite(link);
}

bool ReadUartReply(Link& link, uint16_t* L, uint8_t* payload, size_t payloadCapacity) {
  return ReadUartReplyN(link, kUartReplyReadSize, L, payload, payloadCapacity);
}

bool ReadUartReplyN(Link& link, uint16_t readSize, uint16_t* L, uint8_t* payload, size_t payloadCapacity) {
  // Cleared first: a read that stops short leaves zeros where CHK and 0D should stand.
  std::array<uint8_t, 1024> rx{};
  uint32_t got = 0;
  if (!ReadReplyFrames(link, kFrameUartReply, 1, std::min<uint32_t>(readSize, rx.size()), rx.data(), rx.size(), &got)) {
    return false;
  }
  if (rx[0] != 0x55 || rx[1] != 0xAA) return false;
  if (be16(rx.data() + 2) != kFrameUartReply) return false;
  const uint16_t n = be16(rx.data() + 4);
  if (n > kMaxReplyPayload || n > payloadCapacity) return false;
  // Handed out before the checks: the UR callers judge the payload by tests of their own.
  *L = n;
  std::copy_n(rx.begin() + 6, n, payload);
  return FrameChecksum(rx.data() + 2, static_cast<uint8_t>(n + 4)) == rx[6 + n] && rx[7 + n] == 0x0D;
}

}  // namespace qv::link
