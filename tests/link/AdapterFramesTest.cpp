// Adapter frames byte for byte, the readers' outcomes, and the writers' and readers' bounds.

#include "link/AdapterFrames.h"
#include "mainwindow/MainFormControls.h"
#include "sim/ScriptedPack.h"
#include "support/Bytes.h"
#include "support/TimeScale.h"
#include "tests/link/LinkRig.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace qv {
namespace {

using namespace link;
using test::hex;

class AdapterFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    adapter = rig.sim().addAdapter();
    adapter->setPack(pack);
    platform::FtHandle h = 0;
    ASSERT_EQ(rig.services.driver().OpenByLocation(adapter->record().locId, &h), platform::FT_OK);
    rig.link.AdapterHandle = h;
  }
  void closeHandle() { rig.services.driver().Close(rig.link.AdapterHandle); }
  QByteArray lastWritten() const {
    const auto w = adapter->written();
    return w.empty() ? QByteArray() : w.back();
  }
  Colour lamp(Control name) const { return rig.controls.color(name); }

  test::ScopedTimeScale fast{0.02};
  test::LinkRig rig;
  std::shared_ptr<sim::ScriptedPack> pack = std::make_shared<sim::ScriptedPack>();
  std::shared_ptr<sim::SimAdapter> adapter;
};

TEST(FrameChecksum, ComplementOfTheXor) {
  const QByteArray covered = hex("07 01 00 01 00 4A 58");
  EXPECT_EQ(FrameChecksum(reinterpret_cast<const uint8_t*>(covered.constData()), 7), 0xEA);
  EXPECT_EQ(FrameChecksum(nullptr, 0), 0xFF);
}

TEST_F(AdapterFrames, WritersBuildTheFramesOfTheTables) {
  const QByteArray ur2Frame = hex("40 00 01 10 01 00 02 00 00 00 00 52 0D");
  const uint8_t switches[] = {0x01, 0x02, 0x03};
  struct Case {
    const char* what;
    std::function<bool()> send;
    const char* bytes;
  } cases[] = {
      {"UR74 query", [&] { return SendUartRequest(rig.link, 1, 74, reinterpret_cast<const uint8_t*>("X")); },
       "55 AA 07 01 00 01 00 4A 58 EA 0D"},
      {"UR96 query as a request",
       [&] { return SendUartRequest(rig.link, 3, 96, reinterpret_cast<const uint8_t*>("&\r\n")); },
       "55 AA 07 01 00 03 00 60 26 0D 0A BB 0D"},
      {"UR96 query", [&] { return SendUr96Query(rig.link); }, "55 AA 07 01 00 03 00 60 26 0D 0A BB 0D"},
      {"UR2 request",
       [&] { return SendUartRequest(rig.link, 13, 13, reinterpret_cast<const uint8_t*>(ur2Frame.constData())); },
       "55 AA 07 01 00 0D 00 0D 40 00 01 10 01 00 02 00 00 00 00 52 0D F4 0D"},
      {"fixture switch", [&] { return SendAdapterFrame(rig.link, kFrameFixtureSwitch, 3, switches, 3); },
       "55 AA 01 1A 00 03 01 02 03 E7 0D"},
      {"fixture query", [&] { return SendAdapterQuery(rig.link, 2, 6, 3); }, "55 AA 01 18 00 02 00 06 00 03 E1 0D"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_TRUE(c.send());
    EXPECT_EQ(test::hexText(lastWritten()), test::hexText(hex(c.bytes)));
    EXPECT_EQ(rig.link.AdapterStatus, platform::FT_OK);
  }
}

TEST_F(AdapterFrames, LampsFollowTheirWriters) {
  SendUartRequest(rig.link, 1, 74, reinterpret_cast<const uint8_t*>("X"));
  EXPECT_EQ(lamp(mainwindow::ctl::Shape_TX), colour::White);  // a plain request lights nothing
  EXPECT_TRUE(SendUr96Query(rig.link));
  EXPECT_EQ(lamp(mainwindow::ctl::Shape_TX), colour::Red);
  EXPECT_TRUE(SendAdapterQuery(rig.link, 2, 24, 6));
  EXPECT_EQ(lamp(mainwindow::ctl::Shape_RX), colour::Lime);

  closeHandle();
  EXPECT_FALSE(SendUr96Query(rig.link));
  EXPECT_NE(rig.link.AdapterStatus, platform::FT_OK);
  EXPECT_EQ(lamp(mainwindow::ctl::Shape_TX), colour::Red);  // a failed write leaves the TX lamp
  EXPECT_FALSE(SendAdapterQuery(rig.link, 2, 6, 4));
  EXPECT_EQ(lamp(mainwindow::ctl::Shape_RX), colour::White);  // the RX lamp toggles before the write, whatever follows
}

TEST_F(AdapterFrames, ArgumentsBeyondTheBuffersAreRefused) {
  const QByteArray big(200, 'p');
  const auto* p = reinterpret_cast<const uint8_t*>(big.constData());
  EXPECT_TRUE(SendUartRequest(rig.link, kMaxUartRequestPayload, 13, p));
  EXPECT_EQ(lastWritten().size(), 128);
  EXPECT_TRUE(SendAdapterFrame(rig.link, kFrameFixtureSwitch, kMaxAdapterFramePayload, p, kMaxAdapterFramePayload));
  EXPECT_EQ(lastWritten().size(), kMaxAdapterFramePayload + 8);
  adapter->clearWritten();

  struct Case {
    const char* what;
    std::function<bool()> send;
  } refused[] = {
      {"request payload of 119", [&] { return SendUartRequest(rig.link, kMaxUartRequestPayload + 1, 13, p); }},
      {"request without payload", [&] { return SendUartRequest(rig.link, 1, 74, nullptr); }},
      {"frame payload of 29", [&] { return SendAdapterFrame(rig.link, kFrameFixtureSwitch, 3, p, 29); }},
      {"negative frame payload", [&] { return SendAdapterFrame(rig.link, kFrameFixtureSwitch, 3, p, -1); }},
      {"query with L 3", [&] { return SendAdapterQuery(rig.link, 3, 6, 3); }},
  };
  const Colour rx = lamp(mainwindow::ctl::Shape_RX);
  for (const Case& c : refused) {
    SCOPED_TRACE(c.what);
    rig.link.AdapterStatus = platform::FT_OK;
    EXPECT_FALSE(c.send());
    EXPECT_EQ(rig.link.AdapterStatus, platform::FT_INVALID_PARAMETER);
  }
  EXPECT_TRUE(adapter->written().empty());
  EXPECT_EQ(lamp(mainwindow::ctl::Shape_RX), rx);
}

TEST_F(AdapterFrames, EachUrExchangeStartsWithoutStaleBytes) {
  pack->queue({QByteArray("!fresh")});
  adapter->inject(sim::replyFrame(kFrameUartReply, "stale"));
  ASSERT_TRUE(SendUartRequest(rig.link, 1, 74, reinterpret_cast<const uint8_t*>("X")));
  uint16_t L = 0;
  uint8_t payload[256] = {};
  EXPECT_TRUE(ReadUartReply(rig.link, &L, payload, sizeof payload));
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(payload), L), QByteArray("!fresh"));

  pack->queue({QByteArray(96, 'J')});
  adapter->inject("left over");
  ASSERT_TRUE(SendUr96Query(rig.link));
  EXPECT_TRUE(ReadUartReply(rig.link, &L, payload, sizeof payload));
  EXPECT_EQ(L, 96);
  EXPECT_EQ(payload[0], 'J');
}

TEST_F(AdapterFrames, ReaderOutcomes) {
  const QByteArray good = sim::replyFrame(kFrameUartReply, "!abc");
  QByteArray badChk = good;
  badChk[badChk.size() - 2] = static_cast<char>(badChk[badChk.size() - 2] ^ 0x01);
  QByteArray longClaim = hex("55 AA 07 02 01 2C");  // L 300, beyond any reply the readers take
  longClaim.append(QByteArray(400, 'z'));
  const QByteArray full = sim::replyFrame(kFrameUartReply, QByteArray(kMaxReplyPayload, 'q'));

  struct Case {
    const char* what;
    QByteArray reply;
    size_t capacity;
    bool result;
    int handedOut;  // -1: nothing handed out
  } cases[] = {
      {"good reply", good, 256, true, 4},
      {"wrong CHK: handed out all the same", badChk, 256, false, 4},
      {"cut before the terminator", good.left(good.size() - 1), 256, false, 4},
      {"fixture reply type", sim::replyFrame(kFrameFixtureReply, "!abc"), 256, false, -1},
      {"wrong header", hex("55 AB 07 02 00 01 21 DB 0D"), 256, false, -1},
      {"nothing at all", QByteArray(), 256, false, -1},
      {"payload larger than the caller's buffer", good, 3, false, -1},
      {"L beyond the readers' limit", longClaim, 1024, false, -1},
      {"the largest reply", full, kMaxReplyPayload, true, kMaxReplyPayload},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    adapter->inject(c.reply);
    uint16_t L = 0xBEEF;
    std::vector<uint8_t> payload(c.capacity + 8, 0xEE);
    EXPECT_EQ(ReadUartReply(rig.link, &L, payload.data(), c.capacity), c.result);
    EXPECT_EQ(rig.link.AdapterStatus, platform::FT_OK);
    if (c.handedOut < 0) {
      EXPECT_EQ(L, 0xBEEF);
      EXPECT_EQ(payload[0], 0xEE);
    } else {
      EXPECT_EQ(L, c.handedOut);
      EXPECT_EQ(payload[0], c.handedOut == 4 ? '!' : 'q');
    }
    EXPECT_EQ(payload[c.capacity], 0xEE);  // never a byte past the caller's buffer
    rig.services.driver().PurgeRx(rig.link.AdapterHandle);
  }
}

TEST_F(AdapterFrames, SizedReadTakesOnlyItsBytes) {
  const QByteArray first = sim::replyFrame(kFrameUartReply, QByteArray(13, '1'));
  const QByteArray second = sim::replyFrame(kFrameUartReply, QByteArray(13, '2'));
  adapter->inject(first + second);
  uint16_t L = 0;
  uint8_t payload[64] = {};
  EXPECT_TRUE(ReadUartReplyN(rig.link, 21, &L, payload, sizeof payload));
  EXPECT_EQ(payload[0], '1');
  EXPECT_TRUE(ReadUartReplyN(rig.link, 26, &L, payload, sizeof payload));
  EXPECT_EQ(payload[0], '2');
}

TEST_F(AdapterFrames, ClosedOrPulledHandleFailsWithoutHanging) {
  adapter->unplug();
  uint16_t L = 0;
  uint8_t payload[16] = {};
  EXPECT_FALSE(SendUartRequest(rig.link, 1, 74, reinterpret_cast<const uint8_t*>("X")));
  EXPECT_FALSE(ReadUartReply(rig.link, &L, payload, sizeof payload));
  EXPECT_NE(rig.link.AdapterStatus, platform::FT_OK);

  closeHandle();
  rig.link.AdapterHandle = 0;
  rig.link.AdapterStatus = platform::FT_OK;
  EXPECT_FALSE(ReadUartReply(rig.link, &L, payload, sizeof payload));
  EXPECT_EQ(rig.link.AdapterStatus, platform::FT_INVALID_HANDLE);
}

// A driver whose reply comes late: the first read after arm() finds the reply's head only once kHeadAfterMs of it
// have passed, and with it the rest when that comes in time. It notes, of each read, the read time-out in force
// and whether the read may wait (fewer bytes are there than it asks for). Reads come from the test's thread alone.
class LateReplyDriver : public test::SpyDriver {
 public:
  static constexpr uint32_t kHeadAfterMs = 60;
  struct ReadSeen {
    uint32_t timeoutMs;
    bool mayWait;
  };

  void arm(std::shared_ptr<sim::SimAdapter> adapter, QByteArray head, QByteArray rest) {
    adapter_ = std::move(adapter);
    head_ = std::move(head);
    rest_ = std::move(rest);
  }
  const std::vector<ReadSeen>& reads() const { return reads_; }

  FtStatus SetTimeouts(platform::FtHandle h, uint32_t readMs, uint32_t writeMs) override {
    readTimeoutMs_ = readMs;
    return SpyDriver::SetTimeouts(h, readMs, writeMs);
  }
  FtStatus Read(platform::FtHandle h, void* b, uint32_t n, uint32_t* got) override {
    if (adapter_) {
      platform::sleepMs(kHeadAfterMs);
      adapter_->inject(head_ + rest_);
      adapter_.reset();
    }
    uint32_t queued = 0;
    sim.GetQueueStatus(h, &queued);
    reads_.push_back({readTimeoutMs_, queued < n});
    return SpyDriver::Read(h, b, n, got);
  }

 private:
  std::shared_ptr<sim::SimAdapter> adapter_;
  QByteArray head_, rest_;
  uint32_t readTimeoutMs_ = 0;
  std::vector<ReadSeen> reads_;
};

// A reply that starts late and stops short is waited for no longer than one read time-out from the start of its
// read, however many reads it takes: a read after the late head waits only for what is left of the time-out. One
// whose rest does come in that time is still read whole.
TEST(ReplyReads, TogetherWaitNoLongerThanTheReadTimeOut) {
  const QByteArray reply = sim::replyFrame(kFrameUartReply, "!abc");
  struct Case {
    const char* what;
    bool restComes;
  } cases[] = {{"the rest never comes", false}, {"the rest comes in time", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::ScopedTimeScale fast(0.1);
    test::LinkRig rig(std::make_unique<LateReplyDriver>());
    auto& driver = static_cast<LateReplyDriver&>(rig.services.driver());
    const auto adapter = rig.sim().addAdapter();
    rig.chooseProtocol(kProtocolUr);
    rig.scan();
    ASSERT_TRUE(rig.link.OpenAdapter());
    driver.arm(adapter, reply.left(6), c.restComes ? reply.mid(6) : QByteArray());
    uint16_t L = 0;
    uint8_t payload[16] = {};
    EXPECT_EQ(ReadUartReply(rig.link, &L, payload, sizeof payload), c.restComes);
    if (c.restComes) {
      EXPECT_EQ(payload[0], '!');
    }
    const std::vector<LateReplyDriver::ReadSeen>& reads = driver.reads();
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads.front().timeoutMs, 100u);
    for (size_t i = 1; i < reads.size(); ++i) {
      if (reads[i].mayWait) {
        EXPECT_LE(reads[i].timeoutMs, 100 - LateReplyDriver::kHeadAfterMs) << "read " << i;
      }
    }
    ASSERT_FALSE(rig.spy().timeouts().empty());
    EXPECT_EQ(rig.spy().timeouts().back(), std::make_pair(100u, 50u)) << "the handle keeps its own time-outs";
    rig.link.CloseAdapter();
  }
}

}  // namespace
}  // namespace qv
