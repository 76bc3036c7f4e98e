// CAN adapter frames: the frame layout both ways, the bit-rate frames, and a receive that keeps what a read
// leaves over, finds frames again after stray bytes, and gives the counts and results of the reads it is asked
// about. The driver here answers each read from a script, so the number and outcome of reads are exact.

#include "link/CanFrames.h"
#include "link/Link.h"
#include "mainwindow/MainWindowLink.h"
#include "sim/SimAdapter.h"
#include "support/Bytes.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>

namespace qv {
namespace {

using link::CanMessage;
using link::CanRxEntries;
using platform::FtStatus;
using test::hex;

class ScriptedDriver : public platform::Driver {
 public:
  struct Chunk {
    FtStatus status = platform::FT_OK;
    QByteArray bytes;
  };
  std::deque<Chunk> reads;  // beyond the script a read brings nothing
  int readsMade = 0;
  std::vector<uint32_t> asked;  // the size of each read
  std::vector<QByteArray> writes;
  FtStatus writeStatus = platform::FT_OK;
  int writeShortBy = 0;

  FtStatus CreateDeviceInfoList(uint32_t* n) override {
    *n = 0;
    return platform::FT_OK;
  }
  FtStatus GetDeviceInfoList(platform::AdapterListRecord*, uint32_t* n) override {
    *n = 0;
    return platform::FT_OK;
  }
  FtStatus OpenByLocation(uint32_t, platform::FtHandle*) override { return platform::FT_DEVICE_NOT_FOUND; }
  FtStatus SetTimeouts(platform::FtHandle, uint32_t, uint32_t) override { return platform::FT_OK; }
  FtStatus PurgeRx(platform::FtHandle) override { return platform::FT_OK; }
  FtStatus Close(platform::FtHandle) override { return platform::FT_OK; }
  FtStatus Read(platform::FtHandle, void* buffer, uint32_t wanted, uint32_t* got) override {
    ++readsMade;
    asked.push_back(wanted);
    *got = 0;
    if (reads.empty()) return platform::FT_OK;
    Chunk r = reads.front();
    reads.pop_front();
    EXPECT_LE(r.bytes.size(), static_cast<qsizetype>(wanted));
    std::memcpy(buffer, r.bytes.constData(), static_cast<size_t>(r.bytes.size()));
    *got = static_cast<uint32_t>(r.bytes.size());
    return r.status;
  }
  FtStatus Write(platform::FtHandle, const void* buffer, uint32_t n, uint32_t* written) override {
    writes.emplace_back(static_cast<const char*>(buffer), static_cast<qsizetype>(n));
    *written = writeStatus == platform::FT_OK ? n - static_cast<uint32_t>(writeShortBy) : 0;
    return writeStatus;
  }
};

struct Rig {
  ScriptedDriver* driver = new ScriptedDriver;
  platform::Services services{std::unique_ptr<platform::Driver>(driver)};
  link::Link link{services, mainwindow::kLinkControls};
  Rig() { link.AdapterHandle = 0x1000; }

  uint8_t read(CanRxEntries& entries, int* count) { return link::CanReadFrames(link, entries, count); }
};

// A CAN adapter frame of an identifier (with bit 29 when `ext`), length nibble and data.
QByteArray frame(uint32_t id, const char* data = "11 22 33 44 55 66 77 88", uint8_t nibble = 8) {
  CanMessage m;
  m.identifier = id;
  m.dataLength = nibble;
  const QByteArray d = hex(data);
  std::memcpy(m.data, d.constData(), 8);
  const auto f = link::BuildCanFrame(m);
  return QByteArray(reinterpret_cast<const char*>(f.data()), link::kCanFrameSize);
}

// The frame with its check byte changed.
QByteArray corrupt(QByteArray f) {
  f[17] = static_cast<char>(f[17] ^ 0x01);
  return f;
}

QByteArray bytes(const std::array<uint8_t, link::kCanFrameSize>& f) {
  return QByteArray(reinterpret_cast<const char*>(f.data()), link::kCanFrameSize);
}

TEST(CanFrames, FrameLayoutBothWays) {
  CanMessage m;
  m.identifier = 0x442 | link::kCanIdBit29;
  m.dataLength = 8;
  const QByteArray d = hex("20 0A 00 03 00 00 00 05");
  std::memcpy(m.data, d.constData(), 8);
  const QByteArray f = bytes(link::BuildCanFrame(m));
  EXPECT_EQ(f.left(17), hex("55 AA 04 01 80 20 00 04 42 20 0A 00 03 00 00 00 05"));
  EXPECT_EQ(static_cast<uint8_t>(f[17]), sim::checksum(f.mid(2, 15)));
  EXPECT_EQ(f[18], '\x0D');

  // Byte 5: the message flag only when it is exactly 0x40; identifier bits 28-24 and bit 29.
  struct Case {
    const char* bytes5to8;
    uint32_t id;
    uint8_t flag;
  };
  for (const Case& c : {Case{"40 00 00 00", 0, 1}, Case{"41 00 00 00", 0x01000000, 0},
                        Case{"20 00 04 42", 0x442 | link::kCanIdBit29, 0}, Case{"1F 00 04 42", 0x1F000442, 0},
                        Case{"60 00 00 00", link::kCanIdBit29, 0}}) {
    QByteArray raw = f;
    raw.replace(5, 4, hex(c.bytes5to8));
    raw[17] = static_cast<char>(sim::checksum(raw.mid(2, 15)));
    link::CanRxEntry e;
    ASSERT_TRUE(link::ParseCanFrame(reinterpret_cast<const uint8_t*>(raw.constData()), &e));
    EXPECT_EQ(e.identifier, c.id) << c.bytes5to8;
    EXPECT_EQ(e.messageFlag, c.flag) << c.bytes5to8;
    EXPECT_EQ(e.dataLength, 8);
  }

  // The length nibble is kept as received, up to 15; the eight data bytes are there whatever it says.
  link::CanRxEntry e;
  const QByteArray long15 = frame(0x401, "01 02 03 04 05 06 07 08", 15);
  ASSERT_TRUE(link::ParseCanFrame(reinterpret_cast<const uint8_t*>(long15.constData()), &e));
  EXPECT_EQ(e.dataLength, 15);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(e.data), 8), hex("01 02 03 04 05 06 07 08"));

  const QByteArray bad = corrupt(frame(0x401));
  EXPECT_FALSE(link::ParseCanFrame(reinterpret_cast<const uint8_t*>(bad.constData()), &e));
}

TEST(CanFrames, BitRateFrames) {
  Rig rig;
  EXPECT_EQ(link::CanSetBitRate(rig.link, 250000), 0);
  ASSERT_EQ(rig.driver->writes.size(), 1u);
  const QByteArray set = rig.driver->writes[0];
  EXPECT_EQ(set.left(17), hex("55 AA 01 0B 00 00 03 08 04 04 07 00 00 00 00 00 00"));
  EXPECT_EQ(static_cast<uint8_t>(set[17]), sim::checksum(set.mid(2, 15)));
  EXPECT_EQ(set[18], '\x0D');
  EXPECT_EQ(bytes(link::BuildCanSetBitRateFrame(0x10)).mid(6, 5), hex("03 10 04 04 07"));
  EXPECT_EQ(bytes(link::BuildCanSetBitRateFrame(0x04)).mid(6, 5), hex("03 04 04 04 07"));

  // A rate the adapter does not know is not sent at all; a short or failed write is a failure.
  EXPECT_EQ(link::CanSetBitRate(rig.link, 100000), 1);
  EXPECT_EQ(rig.driver->writes.size(), 1u);
  rig.driver->writeShortBy = 1;
  EXPECT_EQ(link::CanSetBitRate(rig.link, 500000), 1);
  rig.driver->writeShortBy = 0;
  rig.driver->writeStatus = platform::FT_IO_ERROR;
  EXPECT_EQ(link::CanSetBitRate(rig.link, 500000), 1);
}

TEST(CanFrames, SendFrameWritesNineteenBytesOnce) {
  Rig rig;
  CanMessage m;
  m.identifier = 0x300;
  m.dataLength = 8;
  const QByteArray d = hex("01 5A 00 5A 00 00 00 00");
  std::memcpy(m.data, d.constData(), 8);
  EXPECT_EQ(link::CanSendFrame(rig.link, m), 0);
  ASSERT_EQ(rig.driver->writes.size(), 1u);
  EXPECT_EQ(rig.driver->writes[0], frame(0x300, "01 5A 00 5A 00 00 00 00"));
  rig.driver->writeShortBy = 3;
  EXPECT_EQ(link::CanSendFrame(rig.link, m), 0xFF);
  rig.driver->writeShortBy = 0;
  rig.driver->writeStatus = platform::FT_IO_ERROR;
  EXPECT_EQ(link::CanSendFrame(rig.link, m), 0xFF);
}

TEST(CanFrames, ReadCountsAndResults) {
  const QByteArray two = frame(0x400) + frame(0x401);
  struct Case {
    const char* what;
    std::vector<ScriptedDriver::Chunk> script;
    int count;
    uint8_t result;
    int reads;
  };
  const std::vector<Case> cases = {
      // clang-format off
      {"38 bytes, two frames", {{platform::FT_OK, two}}, 2, 0, 1},
      {"40 bytes: a draining read follows", {{platform::FT_OK, two + "\x01\x02"}, {platform::FT_OK, {}}}, 2, 0, 2},
      {"10 bytes: the draining read's status", {{platform::FT_OK, frame(0x402).left(10)}, {platform::FT_OK, {}}},
       0, 0, 2},
      {"nothing", {}, 0, 0xFF, 1},
      {"a failed read", {{platform::FT_IO_ERROR, {}}}, 0, 0xFF, 1},
      {"two frames, one with a wrong check byte",
       {{platform::FT_OK, frame(0x400) + corrupt(frame(0x401))}}, 1, 0, 1},
      // clang-format on
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.driver->reads.assign(c.script.begin(), c.script.end());
    CanRxEntries entries;
    entries[0].identifier = 0x77;  // stale content is cleared
    int count = -1;
    EXPECT_EQ(rig.read(entries, &count), c.result) << c.what;
    EXPECT_EQ(count, c.count) << c.what;
    EXPECT_EQ(rig.driver->readsMade, c.reads) << c.what;
    for (int i = count; i < link::kCanRxEntries; ++i) EXPECT_EQ(entries[static_cast<size_t>(i)].identifier, 0u);
  }
}

// A driver that tells what waits: each look at the queue takes the next figure of `waiting` (0 beyond it).
class QueueDriver : public ScriptedDriver {
 public:
  std::deque<uint32_t> waiting;
  FtStatus GetQueueStatus(platform::FtHandle, uint32_t* n) override {
    *n = 0;
    if (!waiting.empty()) {
      *n = waiting.front();
      waiting.pop_front();
    }
    return platform::FT_OK;
  }
};

// With nothing waiting a receive does not sit out its time-out for more: it asks for what makes the next frame
// whole and, once that came, for the whole frames that came beside it.
TEST(CanFrames, WithNothingWaitingAReceiveEndsOnceAFrameIsWhole) {
  const QByteArray f = frame(0x400);
  struct Case {
    const char* what;
    std::vector<ScriptedDriver::Chunk> script;
    std::deque<uint32_t> waiting;  // the queue as each look finds it
    std::vector<uint32_t> asked;
    int count;
    uint8_t result;
  };
  const std::vector<Case> cases = {
      // clang-format off
      {"a frame, two more behind it", {{platform::FT_OK, f}, {platform::FT_OK, frame(0x401) + frame(0x402)}},
       {0, 38}, {19, 38}, 3, 0},
      {"a frame alone", {{platform::FT_OK, f}}, {0, 0}, {19}, 1, 0},
      {"nothing within the time-out", {}, {0}, {19}, 0, 0xFF},
      {"the rest of a cut frame waits behind it", {{platform::FT_OK, f}, {platform::FT_OK, frame(0x401).left(5)},
       {platform::FT_OK, frame(0x401).mid(5)}}, {0, 5}, {19, 19, 14}, 1, 0},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto* driver = new QueueDriver;
    platform::Services services{std::unique_ptr<platform::Driver>(driver)};
    link::Link link{services, mainwindow::kLinkControls};
    link.AdapterHandle = 0x1000;
    driver->reads.assign(c.script.begin(), c.script.end());
    driver->waiting = c.waiting;
    CanRxEntries entries;
    int count = -1;
    EXPECT_EQ(link::CanReadFrames(link, entries, &count), c.result);
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(driver->asked, c.asked);
  }
}

// The pieces of a stream, read one by one, give every good frame of it exactly once and in order, wherever
// the cuts fall and whatever stray bytes stand between frames.
TEST(CanFrames, NoFrameIsLostAcrossCutsAndNoise) {
  QByteArray stream;
  std::vector<uint32_t> sent;
  const QByteArray noises[] = {"", hex("55"), hex("55 AA"), hex("55 AA 04"), hex("00 0D 55 AA 04 01 80"), hex("AA")};
  for (uint32_t i = 0; i < 60; ++i) {
    const uint32_t id = 0x400 + i;
    stream += frame(id, "10 20 30 40 50 60 70 80") + noises[i % std::size(noises)];
    sent.push_back(id);
  }
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    Rig rig;
    std::uniform_int_distribution<int> piece(1, round < 20 ? 25 : 300);
    for (int at = 0; at < stream.size();) {
      const int n = std::min<int>(piece(random), static_cast<int>(stream.size()) - at);
      rig.driver->reads.push_back({platform::FT_OK, stream.mid(at, n)});
      at += n;
    }
    std::vector<uint32_t> got;
    rig.driver->reads.push_back({});  // a last look, for what the last draining read brought
    while (!rig.driver->reads.empty()) {
      CanRxEntries entries;
      int count = 0;
      if (rig.read(entries, &count) != 0) continue;
      for (int i = 0; i < count; ++i) got.push_back(entries[static_cast<size_t>(i)].identifier);
    }
    EXPECT_EQ(got, sent) << "round " << round;
  }
}

TEST(CanFrames, AFailedDrainTakesNoFrameFromTheStream) {
  Rig rig;
  rig.driver->reads = {
      {platform::FT_OK, frame(0x400) + frame(0x401) + "\x55"}, {platform::FT_IO_ERROR, {}}, {platform::FT_OK, {}}};
  CanRxEntries entries;
  int count = -1;
  EXPECT_EQ(rig.read(entries, &count), platform::FT_IO_ERROR);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(rig.read(entries, &count), 0);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(entries[1].identifier, 0x401u);
}

TEST(CanFrames, QueryBitRate) {
  test::ScopedTimeScale fast(0.01);
  const auto reply = [](uint8_t p) {
    QByteArray r = hex("55 AA 01 0A 00 00 03 00 04 04 07 00 00 00 00 00 00 00 0D");
    r[7] = static_cast<char>(p);
    r[17] = static_cast<char>(sim::checksum(r.mid(2, 15)));
    return r;
  };
  struct Case {
    const char* what;
    QByteArray reply;
    uint8_t result;
    uint32_t rate;
  };
  const QByteArray wrongCheck = corrupt(reply(0x08));
  const QByteArray noEnd = reply(0x08).replace(18, 1, "\x0E");
  for (const Case& c :
       {Case{"125000", reply(0x10), 1, 125000}, Case{"250000", reply(0x08), 1, 250000},
        Case{"500000", reply(0x04), 1, 500000}, Case{"another pattern", reply(0x09), 0, 7},
        Case{"wrong check byte", wrongCheck, 0, 7}, Case{"no terminator", noEnd, 0, 7},
        Case{"short", reply(0x08).left(18), 0, 7}, Case{"long", reply(0x08) + QByteArray(1, '\0'), 0, 7}}) {
    Rig rig;
    rig.driver->reads = {{platform::FT_OK, {}}, {platform::FT_OK, c.reply}};
    uint32_t rate = 7;
    EXPECT_EQ(link::CanQueryBitRate(rig.link, &rate), c.result) << c.what;
    EXPECT_EQ(rate, c.rate) << c.what;
    ASSERT_EQ(rig.driver->writes.size(), 1u);
    const QByteArray q = rig.driver->writes[0];
    EXPECT_EQ(q.left(17), hex("55 AA 01 09 00 00 00 00 00 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(static_cast<uint8_t>(q[17]), sim::checksum(q.mid(2, 15)));
  }

  // A query that is not written reads no reply.
  Rig rig;
  rig.driver->writeStatus = platform::FT_IO_ERROR;
  rig.driver->reads = {{platform::FT_OK, {}}, {platform::FT_OK, reply(0x08)}};
  uint32_t rate = 7;
  EXPECT_EQ(link::CanQueryBitRate(rig.link, &rate), 0);
  EXPECT_EQ(rate, 7u);
  EXPECT_EQ(rig.driver->readsMade, 1);
}

// The broadcasts that wait in the adapter when the query drains it, and a CAN frame that comes instead of the
// reply, are read by the next receive.
TEST(CanFrames, QueryKeepsTheCanFramesItReads) {
  test::ScopedTimeScale fast(0.01);
  Rig rig;
  rig.driver->reads = {{platform::FT_OK, frame(0x400) + frame(0x401).left(5)},
                       {platform::FT_OK, frame(0x401).mid(5) + frame(0x402).left(5)}};
  uint32_t rate = 0;
  EXPECT_EQ(link::CanQueryBitRate(rig.link, &rate), 0);
  rig.driver->reads = {{platform::FT_OK, frame(0x402).mid(5)}, {platform::FT_OK, {}}};
  CanRxEntries entries;
  int count = 0;
  EXPECT_EQ(rig.read(entries, &count), 0);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(entries[0].identifier, 0x400u);
  EXPECT_EQ(entries[1].identifier, 0x401u);
  EXPECT_EQ(entries[2].identifier, 0x402u);
}

}  // namespace
}  // namespace qv
