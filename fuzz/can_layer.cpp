// The CAN request layer over any stream: the frames the receivers hand on, call after call, are the frames a
// plain scan of the whole stream finds (55 AA 04 01 and a check byte that holds, the next byte otherwise), in
// order, each once; a frame with identifier bit 29 is handed on by CanReceiveDispatchAll alone (the others pass
// it over), with the data its flag and length say. A receive's result says what it handed on (a broadcast; any
// frame); CanWaitResponse is true exactly when an accepted header (status 0) for its command and index was
// among the frames it handed on, or was handed on by any receive since the last request for the pair went out
// and has not been counted since; it writes the barcode label of its pair then. A request goes out as its frame.

#include "FuzzStore.h"
#include "FuzzSupport.h"
#include "link/CanLayer.h"
#include "link/Link.h"
#include "mainwindow/MainWindowLink.h"
#include "platform/Services.h"
#include "platform/Time.h"

#include <array>
#include <map>
#include <memory>
#include <vector>

using namespace qv;

namespace {

constexpr size_t kFrame = 19;
// Below the receiver's carry limit: no byte of this stream is ever dropped for room.
constexpr size_t kMostBytes = 6000;

struct Frame {
  uint8_t flag;
  uint32_t id;
  std::array<uint8_t, 8> data;
  uint8_t length;
  bool operator==(const Frame&) const = default;
};

struct Sink : link::CanFrameSink {
  std::vector<Frame> got;
  void DispatchCanFrame(uint8_t flag, uint32_t id, const uint8_t data[8], uint8_t length) override {
    Frame f{flag, id, {}, length};
    std::copy_n(data, 8, f.data.begin());
    got.push_back(f);
  }
};

uint8_t chk(const uint8_t* f) { return static_cast<uint8_t>(0xFF - fuzz::xorOf(f + 2, 15)); }

// The frames of the plain scan, as a receiver hands them on: identifier with bit 29, the message flag when the
// flag byte is 0x40 exactly, then eight zero bytes; else the data bytes the length nibble says, at most 8.
std::vector<Frame> scan(const std::vector<uint8_t>& s) {
  std::vector<Frame> frames;
  size_t p = 0;
  while (p + kFrame <= s.size()) {
    const uint8_t* f = s.data() + p;
    if (!(f[0] == 0x55 && f[1] == 0xAA && f[2] == 0x04 && f[3] == 0x01 && f[17] == chk(f))) {
      ++p;
      continue;
    }
    Frame e{};
    e.id = uint32_t{f[5] & 0x1Fu} << 24 | uint32_t{f[6]} << 16 | uint32_t{f[7]} << 8 | f[8];
    if ((f[5] & 0x20) != 0) e.id |= 1u << 29;
    e.flag = f[5] == 0x40 ? 1 : 0;
    e.length = f[4] >> 4;
    if (e.flag == 0) std::copy_n(f + 9, std::min<int>(e.length, 8), e.data.begin());
    frames.push_back(e);
    p += kFrame;
  }
  return frames;
}

std::vector<uint8_t> frameBytes(uint8_t lengthNibble, uint8_t flags, uint32_t id, const std::array<uint8_t, 8>& d) {
  std::vector<uint8_t> f(kFrame, 0);
  f[0] = 0x55, f[1] = 0xAA, f[2] = 0x04, f[3] = 0x01;
  f[4] = static_cast<uint8_t>(lengthNibble << 4);
  f[5] = static_cast<uint8_t>(flags | (id >> 24 & 0x1F));
  f[6] = static_cast<uint8_t>(id >> 16), f[7] = static_cast<uint8_t>(id >> 8), f[8] = static_cast<uint8_t>(id);
  std::copy(d.begin(), d.end(), f.begin() + 9);
  f[17] = chk(f.data());
  f[18] = 0x0D;
  return f;
}

struct Pair {
  uint16_t command, index;
  bool operator<(const Pair& o) const { return command != o.command ? command < o.command : index < o.index; }
  bool operator==(const Pair&) const = default;
};

// The pairs an input works with: the barcode ones, some others, and up to 16 of its own.
constexpr Pair kPairs[] = {{0x000A, 1}, {0x000A, 2}, {0x4008, 1}, {0x4008, 2},
                           {0x4009, 1}, {0x1009, 0}, {0x0005, 0}, {0x0000, 0}};

std::array<uint8_t, 8> headerData(const Pair& p, uint8_t status, fuzz::Input& in) {
  return {static_cast<uint8_t>(p.command >> 8),
          static_cast<uint8_t>(p.command),
          static_cast<uint8_t>(p.index >> 8),
          static_cast<uint8_t>(p.index),
          in.u8(),
          in.u8(),
          in.u8(),
          status};
}

std::optional<Pair> acceptedHeader(const Frame& f) {
  if (f.id != 0x442 || f.data[7] != 0) return std::nullopt;
  return Pair{static_cast<uint16_t>(f.data[0] << 8 | f.data[1]), static_cast<uint16_t>(f.data[2] << 8 | f.data[3])};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::Services services(std::make_unique<fuzz::ScriptedDriver>());
  static bool once = (fuzz::declareMainWindows(services.controls), platform::setTimeScale(1e-9), true);
  (void)once;
  auto& driver = static_cast<fuzz::ScriptedDriver&>(services.driver());
  driver.reset();
  driver.keepWrites = true;
  link::Link link(services, mainwindow::kLinkControls);
  link.AdapterHandle.store(1);
  Sink sink;
  link.setCanFrameSink(&sink);

  fuzz::Input in(data, size);
  std::vector<Pair> pairs(std::begin(kPairs), std::end(kPairs));
  for (int n = in.u8() % 17; n > 0; --n) pairs.push_back({in.u16(), in.u16()});

  std::vector<uint8_t> stream;  // every byte put on the wire, in order
  size_t next = 0;              // the first frame of the scan not yet accounted for
  size_t passable = 0;          // frames from `next` to here: bit-29 frames an earlier receive may have passed over
  struct Armed {
    bool answered = false;
  };
  std::map<Pair, Armed> armed;

  const auto put = [&](const std::vector<uint8_t>& bytes) {
    const size_t n = std::min(bytes.size(), kMostBytes - std::min(kMostBytes, stream.size()));
    stream.insert(stream.end(), bytes.begin(), bytes.begin() + static_cast<long>(n));
    driver.put(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
  };
  const auto frameFrom = [&](uint8_t how) {
    const uint8_t pick = in.u8();
    uint8_t flags = (how & 0x80) != 0 ? static_cast<uint8_t>(in.u8() & 0x60) : 0;
    const uint8_t length = (how & 0x40) != 0 ? static_cast<uint8_t>(in.u8() & 0x0F) : 8;
    std::array<uint8_t, 8> d{};
    uint32_t id = 0;
    switch (pick % 6) {
      case 0:
        id = 0x400 + pick / 6 % 5;
        d = in.fixed<8>();
        break;  // broadcasts, and 0x404
      case 1:
      case 2:
        id = 0x442;
        d = headerData(pairs[in.u8() % pairs.size()], (pick & 0x40) != 0 ? in.u8() : 0, in);
        break;
      case 3:
        id = 0x443;
        d = in.fixed<8>();
        break;
      case 4:
        id = in.u32() & 0x1FFFFFFF;
        d = in.fixed<8>();
        break;
      case 5:
        id = 0x442;
        d = headerData(pairs[in.u8() % pairs.size()], 0, in);
        flags |= 0x20;
        break;
    }
    return frameBytes(length, flags, id, d);
  };
  // The driver's reads of one call: each a byte limit and a status, and whether it tells what waits.
  const auto script = [&] {
    const uint8_t how = in.u8();
    driver.tellsQueue = (how & 0x40) != 0;
    for (int i = 0; i < 3; ++i) {
      const uint8_t step = in.u8();
      driver.script.push_back({(step & 0x80) != 0 ? static_cast<uint32_t>(in.u16() % 1100) : 1024u,
                               (how >> i & 1) != 0 ? fuzz::statusFrom(step) : platform::FT_OK});
    }
  };

  // What one call handed on, held against the scan. `all`: bit-29 frames handed on too.
  const auto account = [&](bool all) {
    const std::vector<Frame> frames = scan(stream);
    const auto note = [&](const Frame& g) {
      if (const std::optional<Pair> p = acceptedHeader(g)) {
        if (auto a = armed.find(*p); a != armed.end()) a->second.answered = true;
      }
    };
    if (all) {
      if (sink.got.empty()) return;
      // The frames read come one after another, from where the last call left off or past some bit-29 frames
      // an earlier receive passed over (the most of them that fits, identical frames being one and the same).
      const auto matchesAt = [&](size_t at) {
        if (at + sink.got.size() > frames.size()) return false;
        return std::equal(sink.got.begin(), sink.got.end(), frames.begin() + static_cast<long>(at));
      };
      size_t at = std::min(passable, frames.size()) + 1;
      bool found = false;
      while (!found && at-- > next) found = matchesAt(at);
      QV_FUZZ_CHECK(found);
      next = passable = at + sink.got.size();
      for (const Frame& g : sink.got) note(g);
      return;
    }
    for (const Frame& g : sink.got) {
      QV_FUZZ_CHECK((g.id & 0x20000000) == 0);
      while (next < frames.size() && (frames[next].id & 0x20000000) != 0) ++next;
      QV_FUZZ_CHECK(next < frames.size() && frames[next] == g);
      ++next;
      note(g);
    }
    passable = std::max(passable, next);
    while (passable < frames.size() && (frames[passable].id & 0x20000000) != 0) ++passable;
  };
  const auto& labels = mainwindow::kLinkControls;

  while (!in.empty()) {
    const uint8_t op = in.u8();
    sink.got.clear();
    switch (op % 8) {
      case 0:
        for (int n = op / 8 % 6 + 1; n > 0; --n) put(frameFrom(in.u8()));
        break;
      case 1: put(in.bytes(in.u8() % 24)); break;
      case 2: {
        script();
        const bool result = link::CanReceiveDispatch(link);
        driver.script.clear();
        account(false);
        QV_FUZZ_CHECK(result == std::any_of(sink.got.begin(), sink.got.end(),
                                            [](const Frame& f) { return f.id >= 0x400 && f.id <= 0x403; }));
        break;
      }
      case 3:
      case 4: {
        script();
        const bool all = op % 8 == 3;
        const bool result = all                ? link::CanReceiveDispatchAll(link)
                            : (op & 0x80) != 0 ? link::CanReceiveDispatchAnyAfter(link, op >> 3 & 0x07)
                                               : link::CanReceiveDispatchAny(link);
        driver.script.clear();
        account(all);
        QV_FUZZ_CHECK(result == !sink.got.empty());
        break;
      }
      case 5: {  // a request, perhaps answered at once (by its own header or another's)
        const Pair p = pairs[in.u8() % pairs.size()];
        const link::CanArgs args{in.u8(), in.u8(), in.u8()};
        const uint8_t value = in.u8();
        const uint8_t how = in.u8();
        std::vector<uint8_t> answer;
        if ((how & 0x03) != 0)
          answer = frameBytes(
              8, 0, 0x442,
              headerData((how & 0x01) != 0 ? p : pairs[in.u8() % pairs.size()], (how & 0x04) != 0 ? in.u8() : 0, in));
        if ((how & 0x08) != 0) {
          const std::vector<uint8_t> f = frameFrom(in.u8());
          answer.insert((how & 0x10) != 0 ? answer.begin() : answer.end(), f.begin(), f.end());
        }
        const bool fails = (how & 0xE0) == 0xE0;
        answer.resize(std::min(answer.size(), kMostBytes - std::min(kMostBytes, stream.size())));
        driver.answerOnWrite = answer;
        driver.writeStatus = fails ? platform::FT_IO_ERROR : platform::FT_OK;
        driver.written.clear();
        const bool sent = link::CanSendRequest(link, p.command, p.index, args, value);
        driver.writeStatus = platform::FT_OK;
        if (!fails) stream.insert(stream.end(), answer.begin(), answer.end());
        driver.answerOnWrite.clear();
        QV_FUZZ_CHECK(sent == !fails);
        armed[p] = Armed{};  // armed before the write, whether or not it went out
        const std::vector<uint8_t> expected = frameBytes(
            8, 0, 0x440,
            {static_cast<uint8_t>(p.command >> 8), static_cast<uint8_t>(p.command), static_cast<uint8_t>(p.index >> 8),
             static_cast<uint8_t>(p.index), args[0], args[1], args[2], value});
        QV_FUZZ_CHECK(driver.written == expected);
        QV_FUZZ_CHECK(sink.got.empty());
        break;
      }
      case 6:
      case 7: {
        const Pair p = pairs[in.u8() % pairs.size()];
        services.controls.setText(labels.barcodeReadLabel, QString());
        services.controls.setText(labels.barcodeWriteLabel, QString());
        script();
        const bool result = link::CanWaitResponse(link, p.command, p.index);
        driver.script.clear();
        account(false);
        bool expected =
            std::any_of(sink.got.begin(), sink.got.end(), [&](const Frame& f) { return acceptedHeader(f) == p; });
        if (auto a = armed.find(p); a != armed.end()) {
          expected = expected || a->second.answered;
          a->second.answered = false;  // counted once
        }
        QV_FUZZ_CHECK(result == expected);
        const QString text = !result || p.index < 1 || p.index > 2 ? QString()
                             : p.index == 1                        ? QStringLiteral("OK21")
                                                                   : QStringLiteral("OK22");
        QV_FUZZ_CHECK(services.controls.text(labels.barcodeReadLabel) == (p.command == 0x000A ? text : QString()));
        QV_FUZZ_CHECK(services.controls.text(labels.barcodeWriteLabel) == (p.command == 0x4008 ? text : QString()));
        break;
      }
    }
  }
  // Nothing held back for good: receives with nothing new on the wire hand on every frame left.
  driver.script.clear();
  for (int i = 0; i < 200; ++i) {
    sink.got.clear();
    const bool more = link::CanReceiveDispatchAll(link);
    account(true);
    if (!more && driver.wire.empty()) break;
  }
  QV_FUZZ_CHECK(driver.wire.empty());
  const std::vector<Frame> frames = scan(stream);
  while (next < passable) ++next;
  QV_FUZZ_CHECK(next == frames.size());
  link.setCanFrameSink(nullptr);
  return 0;
}
