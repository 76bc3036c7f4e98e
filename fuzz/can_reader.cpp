// The CAN receive stream: bytes come off the adapter cut at random places, with noise, failed reads and
// bit-rate queries in between. Read by read, the frames handed out must be the frames a plain scan of the whole
// stream finds (from the first byte on: a frame where 55 AA 04 01 starts 19 bytes whose check byte holds, the
// next byte otherwise), in order, none lost or doubled; a failed read hands out none and takes none; and the
// bytes carried over are the unread rest (perhaps with bytes that begin no frame), less what the carry limit
// drops after failed reads.

#include "FuzzSupport.h"
#include "link/CanFrames.h"
#include "platform/Time.h"

#include <vector>

using namespace qv;

namespace {

constexpr size_t kFrame = 19;
constexpr size_t kCarryLimit = 2048;
constexpr int kEntries = 128;

bool isFrame(const uint8_t* f) {
  return f[0] == 0x55 && f[1] == 0xAA && f[2] == 0x04 && f[3] == 0x01 &&
         f[17] == static_cast<uint8_t>(0xFF - fuzz::xorOf(f + 2, 15));
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

// A frame sealed around 12 bytes of the input: length and flag nibbles, identifier, data.
std::vector<uint8_t> frameFrom(fuzz::Input& in) {
  std::vector<uint8_t> f(kFrame, 0);
  f[0] = 0x55, f[1] = 0xAA, f[2] = 0x04, f[3] = 0x01;
  for (size_t i = 4; i < 17; ++i) f[i] = in.u8();
  f[17] = static_cast<uint8_t>(0xFF - fuzz::xorOf(f.data() + 2, 15));
  f[18] = 0x0D;
  return f;
}

// The adapter's answer to a bit-rate query, for a rate the adapter may or may not know.
std::vector<uint8_t> rateReply(uint8_t rateByte) {
  std::vector<uint8_t> f(kFrame, 0);
  f[0] = 0x55, f[1] = 0xAA, f[2] = 0x01, f[3] = 0x09;
  f[6] = 0x03, f[7] = rateByte, f[8] = 0x04, f[9] = 0x04, f[10] = 0x07;
  f[17] = static_cast<uint8_t>(0xFF - fuzz::xorOf(f.data() + 2, 15));
  f[18] = 0x0D;
  return f;
}

// The second reading: the whole stream as read, and where the receiver's unread rest begins in it.
struct Model {
  std::vector<uint8_t> stream;
  size_t cursor = 0;
  size_t lastFrameEnd = 0;  // just past the last frame taken

  size_t carried() const { return stream.size() - cursor; }
  void append(const std::vector<uint8_t>& bytes) { stream.insert(stream.end(), bytes.begin(), bytes.end()); }
  void limitCarry() {
    if (carried() > kCarryLimit) cursor = stream.size() - kCarryLimit;
  }
  // The frames of the plain scan from the cursor, at most `most`; the cursor moves past them, and, when the
  // scan ran out of whole frames, past every byte that cannot begin one.
  std::vector<link::CanRxEntry> take(int most) {
    std::vector<link::CanRxEntry> out;
    size_t p = cursor;
    while (static_cast<int>(out.size()) < most && p + kFrame <= stream.size()) {
      if (isFrame(stream.data() + p)) {
        out.push_back(entryOf(stream.data() + p));
        p += kFrame;
        lastFrameEnd = p;
      } else {
        ++p;
      }
    }
    if (static_cast<int>(out.size()) < most) {
      static constexpr uint8_t kHeader[4] = {0x55, 0xAA, 0x04, 0x01};
      while (p < stream.size() &&
             !std::equal(stream.begin() + static_cast<std::ptrdiff_t>(p),
                         stream.begin() + static_cast<std::ptrdiff_t>(std::min(stream.size(), p + 4)), kHeader))
        ++p;
    }
    cursor = p;
    return out;
  }
};

// The bytes the driver's reads of this call handed over, taken off the front of what went on the wire.
std::vector<uint8_t> deliveredBy(fuzz::ScriptedDriver& d, std::deque<uint8_t>& wireCopy, size_t reads,
                                 size_t first) {
  std::vector<uint8_t> out;
  for (size_t i = first; i < first + reads && i < d.reads.size(); ++i) {
    const auto n = static_cast<std::ptrdiff_t>(d.reads[i].bytes);
    out.insert(out.end(), wireCopy.begin(), wireCopy.begin() + n);
    wireCopy.erase(wireCopy.begin(), wireCopy.begin() + n);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = (platform::setTimeScale(1e-9), true);
  (void)once;
  fuzz::ScriptedDriver driver;
  link::CanReceiver receiver;
  Model model;
  link::CanRxEntries entries;
  fuzz::Input in(data, size);

  // Reads one call's worth of driver reads and checks the call against the model.
  auto readFrames = [&](bool scripted) {
    if (scripted) {
      for (int i = 0; i < 2; ++i) {
        const uint8_t how = in.u8();
        driver.script.push_back({static_cast<uint32_t>(in.u16() % 1100), fuzz::statusFrom(how)});
      }
    }
    std::deque<uint8_t> wire = driver.wire;
    const size_t firstRead = driver.reads.size();
    int count = -1;
    const uint8_t result = receiver.readFrames(driver, 1, entries, &count);
    driver.script.clear();
    // Frames come from what a good first read brought; a second read, when there was one, is kept for the next.
    model.append(deliveredBy(driver, wire, 1, firstRead));
    std::vector<link::CanRxEntry> expected;
    if (result == 0 && driver.reads[firstRead].status == platform::FT_OK) expected = model.take(kEntries);
    model.append(deliveredBy(driver, wire, 1, firstRead + 1));
    if (result == 0) {
      QV_FUZZ_CHECK_PENDING(count == static_cast<int>(expected.size()));
      for (size_t i = 0; i < expected.size(); ++i) QV_FUZZ_CHECK_PENDING(same(entries[i], expected[i]));
    } else {
      QV_FUZZ_CHECK_PENDING(count == 0);
      model.limitCarry();
    }
    for (int i = std::max(count, 0); i < kEntries; ++i) QV_FUZZ_CHECK_PENDING(same(entries[i], link::CanRxEntry{}));
    if (result == 0) {
      // The receiver may keep bytes that begin no frame for its next read, never a byte of a frame it handed
      // out; from there on the scan finds the same frames, so the model goes on from where the receiver is.
      const auto kept = static_cast<size_t>(receiver.carried());
      QV_FUZZ_CHECK_PENDING(kept >= model.carried() && model.stream.size() - kept >= model.lastFrameEnd);
      model.cursor = model.stream.size() - kept;
    }
    QV_FUZZ_CHECK_PENDING(receiver.carried() == static_cast<int>(model.carried()));
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
      case 3:
        readFrames(true);
        break;
      case 4: {  // a bit-rate query; the adapter answers with a rate reply, a known rate or not, or noise
        const uint8_t how = in.u8();
        std::vector<uint8_t> answer;
        if ((how & 0x03) != 0) {
          static constexpr uint8_t kRateBytes[] = {0x10, 0x08, 0x04, 0x02};
          answer = rateReply(kRateBytes[how >> 2 & 0x03]);
          if ((how & 0x10) != 0) answer[in.u8() % kFrame] ^= in.u8() | 1;
        } else {
          answer = in.bytes(in.u8() % 64);
        }
        driver.answerOnWrite = answer;
        for (int i = 0; i < 2; ++i) {
          const uint8_t step = in.u8();
          driver.script.push_back({static_cast<uint32_t>(in.u16() % 1100), fuzz::statusFrom(step)});
        }
        std::deque<uint8_t> wire = driver.wire;
        const size_t firstRead = driver.reads.size();
        uint32_t rate = 1;
        const uint8_t result = receiver.queryBitRate(driver, 1, &rate);
        driver.script.clear();
        // The first read drains what waited; the second, after the query went out, is the reply.
        model.append(deliveredBy(driver, wire, 1, firstRead));
        wire.insert(wire.end(), answer.begin(), answer.end());
        const std::vector<uint8_t> reply = deliveredBy(driver, wire, 1, firstRead + 1);
        QV_FUZZ_CHECK_PENDING(driver.reads.size() == firstRead + 2);
        const bool replyRead = driver.reads[firstRead + 1].status == platform::FT_OK;
        uint32_t expectedRate = 0;
        if (reply.size() == kFrame && reply[0] == 0x55 && reply[1] == 0xAA && reply[18] == 0x0D &&
            reply[17] == static_cast<uint8_t>(0xFF - fuzz::xorOf(reply.data() + 2, 15)) && reply[6] == 0x03 &&
            reply[8] == 0x04 && reply[9] == 0x04 && reply[10] == 0x07) {
          expectedRate = reply[7] == 0x10 ? 125000 : reply[7] == 0x08 ? 250000 : reply[7] == 0x04 ? 500000 : 0;
        }
        if (!replyRead) expectedRate = 0;
        QV_FUZZ_CHECK_PENDING(result == (expectedRate != 0 ? 1 : 0));
        QV_FUZZ_CHECK_PENDING(rate == (expectedRate != 0 ? expectedRate : 1));
        if (expectedRate == 0) model.append(reply);
        model.limitCarry();
        QV_FUZZ_CHECK_PENDING(receiver.carried() == static_cast<int>(model.carried()));
        break;
      }
    }
  }
  // Nothing held back for good: reads with nothing new hand out every frame left.
  driver.wire.clear();
  for (int i = 0; i < 40 && readFrames(false) > 0; ++i) {
  }
  QV_FUZZ_CHECK_PENDING(model.take(1).empty());
  return 0;
}
