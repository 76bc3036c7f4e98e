// The CAN receive stream: bytes come off the adapter cut at random places, with noise, failed reads and
// bit-rate queries in between, from a driver that can tell what waits or cannot. Read by read, the frames handed
// out must be the frames a plain scan of the whole stream finds (a frame where 55 AA 04 01 starts 19 bytes
// whose check byte holds, the next byte otherwise), in order, none lost or doubled, each marked when bytes of no
// frame came before it; a read asks for all that waits, rounded up to the end of the frame it ends in; a read
// that leaves part of a frame is followed by one more, whose status is the result; a failed receive hands out
// none and takes none; a bit-rate query finds the adapter's reply among CAN frames and takes that reply alone;
// and the bytes carried over are the unread rest, less what the carry limit drops.

#include "FuzzSupport.h"
#include "link/CanFrames.h"
#include "platform/Time.h"

#include <vector>

using namespace qv;

namespace {

constexpr size_t kFrame = 19;
constexpr size_t kReadSize = 1024;
constexpr size_t kCarryLimit = 8192;
constexpr size_t kRoom = kCarryLimit + 2 * kReadSize;
constexpr size_t kEntries = 128;

uint8_t chk(const uint8_t* f) { return static_cast<uint8_t>(0xFF - fuzz::xorOf(f + 2, 15)); }

bool isFrame(const uint8_t* f) {
  return f[0] == 0x55 && f[1] == 0xAA && f[2] == 0x04 && f[3] == 0x01 && f[17] == chk(f);
}
// An adapter-local frame: 55 AA, terminator and check byte, whatever its type.
bool isAdapterFrame(const uint8_t* f) { return f[0] == 0x55 && f[1] == 0xAA && f[18] == 0x0D && f[17] == chk(f); }

// The n bytes at f agree with a CAN frame's header as far as they go.
bool mayBeginFrame(const uint8_t* f, size_t n) {
  static constexpr uint8_t kHeader[4] = {0x55, 0xAA, 0x04, 0x01};
  return std::equal(f, f + std::min<size_t>(n, 4), kHeader);
}

link::CanRxEntry entryOf(const uint8_t* f) {
  link::CanRxEntry e;
  e.identifier = uint32_t{f[5] & 0x1Fu} << 24 | uint32_t{f[6]} << 16 | uint32_t{f[7]} << 8 | f[8];
  if ((f[5] & 0x20) != 0) e.identifier |= 1u << 29;
  e.messageFlag = f[5] == 0x40 ? 1 : 0;
  e.dataLength = f[4] >> 4;
  std::copy_n(f + 9, 8, e.data);
  return e;
}

bool same(const link::CanRxEntry& a, const link::CanRxEntry& b) {
  return a.identifier == b.identifier && a.messageFlag == b.messageFlag && a.dataLength == b.dataLength &&
         std::equal(a.data, a.data + 8, b.data);
}

// A frame sealed around 13 bytes of the input: length and flag nibbles, identifier, data.
std::vector<uint8_t> frameFrom(fuzz::Input& in) {
  std::vector<uint8_t> f(kFrame, 0);
  f[0] = 0x55, f[1] = 0xAA, f[2] = 0x04, f[3] = 0x01;
  for (size_t i = 4; i < 17; ++i) f[i] = in.u8();
  f[17] = chk(f.data());
  f[18] = 0x0D;
  return f;
}

// The adapter's answer to a bit-rate query, for a rate the adapter may or may not know.
std::vector<uint8_t> rateReply(uint8_t rateByte) {
  std::vector<uint8_t> f(kFrame, 0);
  f[0] = 0x55, f[1] = 0xAA, f[2] = 0x01, f[3] = 0x09;
  f[6] = 0x03, f[7] = rateByte, f[8] = 0x04, f[9] = 0x04, f[10] = 0x07;
  f[17] = chk(f.data());
  f[18] = 0x0D;
  return f;
}

// The second reading: the whole stream as read, where the receiver's unread rest begins in it, and whether
// bytes of no frame were passed over since the last frame handed out.
struct Model {
  std::vector<uint8_t> stream;
  size_t cursor = 0;
  bool lost = false;

  struct Scan {
    std::vector<link::CanRxEntry> frames;
    std::vector<bool> lostBefore;
    size_t cursor;
    bool lost;
  };

  size_t carried() const { return stream.size() - cursor; }
  void append(const std::vector<uint8_t>& bytes) { stream.insert(stream.end(), bytes.begin(), bytes.end()); }
  void limitCarry() {
    if (carried() <= kCarryLimit) return;
    cursor = stream.size() - kCarryLimit;
    lost = true;
  }
  // The frames of the plain scan from the cursor, at most `most`; the scan ends past them and, when it ran out
  // of whole frames, past every byte that cannot begin one.
  Scan scan(size_t most) const {
    Scan s{{}, {}, cursor, lost};
    size_t& p = s.cursor;
    while (s.frames.size() < most && p + kFrame <= stream.size()) {
      if (isFrame(stream.data() + p)) {
        s.frames.push_back(entryOf(stream.data() + p));
        s.lostBefore.push_back(s.lost);
        s.lost = false;
        p += kFrame;
      } else {
        ++p;
        s.lost = true;
      }
    }
    if (s.frames.size() < most) {
      while (p < stream.size() && !mayBeginFrame(stream.data() + p, stream.size() - p)) {
        ++p;
        s.lost = true;
      }
    }
    return s;
  }
  // The adapter's reply among what came from `from` on: walking the stream frame by frame from the cursor,
  // the first adapter frame at or after `from`; *stray when a byte at or after `from` belongs to no frame
  // (trailing bytes that may begin a CAN frame excepted). Offsets into the stream; -1 for none.
  long findReply(size_t from, bool* stray) const {
    long reply = -1;
    *stray = false;
    size_t at = cursor;
    while (at + kFrame <= stream.size()) {
      const uint8_t* p = stream.data() + at;
      if (isFrame(p)) {
        at += kFrame;
      } else if (reply < 0 && at >= from && isAdapterFrame(p)) {
        reply = static_cast<long>(at);
        at += kFrame;
      } else {
        if (at >= from) *stray = true;
        ++at;
      }
    }
    if (at < stream.size() && stream.size() > from && !mayBeginFrame(stream.data() + at, stream.size() - at)) {
      *stray = true;
    }
    return reply;
  }
};

// What a read asks the driver for: what waits, up to the end of the frame the stream then ends in, when the
// driver tells; with nothing waiting, what completes the next frame (the rest of one carried in part); a full
// read when the driver does not tell.
uint32_t askFor(bool tells, size_t queued, size_t carried) {
  if (!tells) return kReadSize;
  if (queued == 0) return static_cast<uint32_t>(kFrame - carried % kFrame);
  const size_t pad = (kFrame - (carried + queued) % kFrame) % kFrame;
  return static_cast<uint32_t>(std::min(queued + pad, kReadSize));
}

// Replays the driver's reads from `first` on over a copy of the wire: the bytes each handed over.
struct Replay {
  fuzz::ScriptedDriver& d;
  std::deque<uint8_t> wire;
  size_t next;
  size_t queued() const { return wire.size(); }
  std::vector<uint8_t> take() {
    const auto n = static_cast<std::ptrdiff_t>(d.reads[next++].bytes);
    std::vector<uint8_t> out(wire.begin(), wire.begin() + n);
    wire.erase(wire.begin(), wire.begin() + n);
    return out;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = (platform::setTimeScale(1e-9), true);
  (void)once;
  fuzz::ScriptedDriver driver;
  link::CanReceiver receiver;
  Model model;
  link::CanRxEntries entries;
  fuzz::Input in(data, size);

  // The driver's reads of one call: each step a byte limit and a status; 0x40 of the first says whether the
  // driver tells what waits.
  const auto script = [&] {
    for (int i = 0; i < 2; ++i) {
      const uint8_t how = in.u8();
      if (i == 0) driver.tellsQueue = (how & 0x40) != 0;
      driver.script.push_back({static_cast<uint32_t>(in.u16() % 1100), fuzz::statusFrom(how)});
    }
  };

  // One receive, checked against the model.
  const auto readFrames = [&](bool scripted) {
    if (scripted) script();
    Replay replay{driver, driver.wire, driver.reads.size()};
    int count = -1;
    link::CanRxLosses losses;
    losses.set();
    const uint8_t result = receiver.readFrames(driver, 1, entries, &count, &losses);
    driver.script.clear();
    const size_t reads = driver.reads.size() - replay.next;
    QV_FUZZ_CHECK(reads == 1 || reads == 2);

    QV_FUZZ_CHECK(driver.reads[replay.next].asked == askFor(driver.tellsQueue, replay.queued(), model.carried()));
    const platform::FtStatus first = driver.reads[replay.next].status;
    const std::vector<uint8_t> got = replay.take();
    model.append(got);
    Model::Scan s{{}, {}, model.cursor, model.lost};
    if (first == platform::FT_OK) s = model.scan(kEntries);
    // A read that leaves part of a frame behind is followed by one more.
    const bool cut = driver.tellsQueue ? first == platform::FT_OK && s.cursor < model.stream.size()
                                       : got.size() % kFrame != 0;
    QV_FUZZ_CHECK(reads == (cut ? 2u : 1u));
    uint8_t expected = first == platform::FT_OK && (!s.frames.empty() || got.size() >= kFrame) ? 0 : 0xFF;
    if (cut) {
      QV_FUZZ_CHECK(driver.reads[replay.next].asked == askFor(driver.tellsQueue, replay.queued(), model.carried()));
      expected = static_cast<uint8_t>(driver.reads[replay.next].status);
      model.append(replay.take());
    }
    QV_FUZZ_CHECK(result == expected);
    if (result == 0) {
      QV_FUZZ_CHECK(count == static_cast<int>(s.frames.size()));
      for (size_t i = 0; i < s.frames.size(); ++i) {
        QV_FUZZ_CHECK(same(entries[i], s.frames[i]));
        QV_FUZZ_CHECK(losses[i] == s.lostBefore[i]);
      }
      for (size_t i = s.frames.size(); i < kEntries; ++i) QV_FUZZ_CHECK(!losses[i]);
      model.cursor = s.cursor;
      model.lost = s.lost;
    } else {
      QV_FUZZ_CHECK(count == 0);
      QV_FUZZ_CHECK(losses.all());  // untouched
    }
    for (size_t i = static_cast<size_t>(std::max(count, 0)); i < kEntries; ++i)
      QV_FUZZ_CHECK(same(entries[i], link::CanRxEntry{}));
    model.limitCarry();
    QV_FUZZ_CHECK(receiver.carried() == static_cast<int>(model.carried()));
    return count;
  };

  while (!in.empty()) {
    const uint8_t op = in.u8();
    switch (op % 5) {
      case 0:  // noise or parts of frames on the wire
        driver.put(in.bytes(in.u8()));
        break;
      case 1:  // whole frames on the wire
        for (int n = op / 5 % 8 + 1; n > 0; --n) driver.put(frameFrom(in));
        break;
      case 2:
      case 3: readFrames(true); break;
      case 4: {  // a bit-rate query; the adapter answers with a rate reply, a known rate or not, or noise, perhaps
                 // among CAN frames
        const uint8_t how = in.u8();
        std::vector<uint8_t> answer;
        if ((how & 0x03) != 0) {
          static constexpr uint8_t kRateBytes[] = {0x10, 0x08, 0x04, 0x02};
          answer = rateReply(kRateBytes[how >> 2 & 0x03]);
          if ((how & 0x10) != 0) answer[in.u8() % kFrame] ^= in.u8() | 1;
        } else {
          answer = in.bytes(in.u8() % 64);
        }
        if ((how & 0x20) != 0) {
          const std::vector<uint8_t> f = frameFrom(in);
          answer.insert(answer.begin(), f.begin(), f.end());
        }
        if ((how & 0x40) != 0) {
          const std::vector<uint8_t> f = frameFrom(in);
          answer.insert(answer.end(), f.begin(), f.end());
        }
        driver.answerOnWrite = answer;
        script();
        Replay replay{driver, driver.wire, driver.reads.size()};
        uint32_t rate = 1;
        const uint8_t result = receiver.queryBitRate(driver, 1, &rate);
        driver.script.clear();

        // The first read drains what waited; those after the query went out look for the reply, on while
        // they come back full and it is not there, as long as the stream has room for one more.
        const size_t reads = driver.reads.size() - replay.next;
        QV_FUZZ_CHECK(reads >= 2);
        QV_FUZZ_CHECK(driver.reads[replay.next].asked == askFor(driver.tellsQueue, replay.queued(), model.carried()));
        model.append(replay.take());
        replay.wire.insert(replay.wire.end(), answer.begin(), answer.end());
        const size_t from = model.stream.size();
        long reply = -1;
        bool stray = false;
        for (size_t i = 1; i < reads; ++i) {
          QV_FUZZ_CHECK(driver.reads[replay.next].asked == askFor(driver.tellsQueue, replay.queued(), model.carried()));
          const bool good = driver.reads[replay.next].status == platform::FT_OK;
          const std::vector<uint8_t> got = replay.take();
          model.append(got);
          bool done = !good;
          if (good) {
            reply = model.findReply(from, &stray);
            done = reply >= 0 || got.size() < kReadSize || model.carried() + kReadSize > kRoom;
          } else {
            reply = -1;
          }
          QV_FUZZ_CHECK(done == (i + 1 == reads));
        }
        uint32_t expectedRate = 0;
        if (reply >= 0 && !stray) {
          const uint8_t* r = model.stream.data() + reply;
          if (r[6] == 0x03 && r[8] == 0x04 && r[9] == 0x04 && r[10] == 0x07) {
            expectedRate = r[7] == 0x10 ? 125000 : r[7] == 0x08 ? 250000 : r[7] == 0x04 ? 500000 : 0;
          }
        }
        QV_FUZZ_CHECK(result == (expectedRate != 0 ? 1 : 0));
        QV_FUZZ_CHECK(rate == (expectedRate != 0 ? expectedRate : 1));
        // The reply is the adapter's own: the frames around it stay for the next receive.
        if (expectedRate != 0) {
          model.stream.erase(model.stream.begin() + reply, model.stream.begin() + reply + static_cast<long>(kFrame));
        }
        model.limitCarry();
        QV_FUZZ_CHECK(receiver.carried() == static_cast<int>(model.carried()));
        break;
      }
    }
  }
  // Nothing held back for good: reads with nothing new hand out every frame left.
  driver.wire.clear();
  for (int i = 0; i < 80 && readFrames(false) > 0; ++i) {
  }
  QV_FUZZ_CHECK(model.scan(1).frames.empty());
  return 0;
}
