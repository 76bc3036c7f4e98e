// The boot frames and their reader: the byte rules, where a read ends, what each waiter takes for an answer,
// and the adapter carrier that brings the bootloader's frames back out of 0x0702 frames.

#include "firmware/BootFrames.h"
#include "link/AdapterFrames.h"
#include "sim/SimAdapter.h"
#include "sim/Ur2Pack.h"
#include "support/OnWorker.h"
#include "support/TimeScale.h"
#include "tests/link/LinkRig.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <optional>
#include <thread>
#include <variant>

namespace qv {
namespace {

using namespace firmware;

// A boot port whose reads hand out a script: bytes, "nothing arrived" and failed reads.
class ScriptPort : public BootPort {
 public:
  void bytes(const QByteArray& b) {
    for (char c : b) script.push_back(static_cast<uint8_t>(c));
  }
  void frame(const BootFrame& f) { bytes(QByteArray(reinterpret_cast<const char*>(f.data()), kBootFrameSize)); }
  void nothing() { script.push_back(Read::Nothing); }
  void failures(int n) {
    for (int i = 0; i < n; ++i) script.push_back(Read::Failed);
  }

  bool write(const BootFrame& f) override {
    written.push_back(f);
    return true;
  }
  Read readByte(uint8_t* byte) override {
    ++reads;
    if (script.empty()) return Read::Nothing;
    const Step step = script.front();
    script.pop_front();
    if (std::holds_alternative<Read>(step)) return std::get<Read>(step);
    *byte = std::get<uint8_t>(step);
    return Read::Byte;
  }
  void purge() override {
    ++purges;
    script.clear();
  }

  using Step = std::variant<uint8_t, Read>;
  std::deque<Step> script;
  std::vector<BootFrame> written;
  int reads = 0;
  int purges = 0;
};

BootFrame answerHeader(uint16_t command, uint8_t status, uint16_t argument = 0) {
  BootFrame f = MakeBootCommandFrame(command, argument, {0, 0, 0}, status);
  f[2] = kBootAnswerHeader;
  return f;
}

BootFrame answerData(uint8_t b0, uint8_t b1 = 0) {
  BootFrame f = MakeBootDataFrame({b0, b1, 0, 0, 0, 0, 0, 0});
  f[2] = kBootAnswerData;
  return f;
}

QByteArray bytesOf(const BootFrame& f) { return QByteArray(reinterpret_cast<const char*>(f.data()), kBootFrameSize); }

TEST(BootFrames, CommandAndDataFramesCarryTheirFieldsAndTheXorCheck) {
  ScriptPort port;
  port.frame(answerHeader(0x4003, 0));  // a late acknowledgement of the field before
  ASSERT_TRUE(SendBootCommand(port, 0x4003, 0x0102, {3, 0, 0}, 8));
  EXPECT_EQ(port.purges, 1);  // what was pending is gone before the command
  EXPECT_FALSE(WaitBootAck(port));
  EXPECT_EQ(bytesOf(port.written.at(0)), QByteArray::fromHex("40000140030102030000080A0D"));

  const uint8_t three[3] = {'A', 'B', '\n'};
  ASSERT_TRUE(SendBootData(port, three, 3));
  EXPECT_EQ(port.purges, 1);  // no purge between a field's header and its data
  EXPECT_EQ(bytesOf(port.written.at(1)), QByteArray::fromHex("40000241420A00000000004B0D"));
  const uint8_t nine[9] = {};
  EXPECT_FALSE(SendBootData(port, nine, 9));
  EXPECT_EQ(port.written.size(), 2u);
}

TEST(BootFrames, TheReaderKeepsToItsByteRules) {
  const BootFrame ack = answerHeader(0x4003, 0);
  BootFrame withEarlyCr = answerData(0x0D, 0x0D);
  const struct {
    const char* name;
    QByteArray before;
    BootFrame frame;
  } cases[] = {
      {"noise is skipped", "\x55\xAA\x07\x02\x00\x0D", ack},
      // "@" then not 00: that byte is not looked at as a new "@", so "@@" hides the second one.
      {"a byte after @ that is not 00", QByteArray("@@\x00", 3) + QByteArray(10, 'x'), ack},
      // A frame whose 13th byte is not 0D is dropped; that byte starts nothing either.
      {"a 13th byte that is not 0D", bytesOf(ack).left(12) + "@", ack},
      {"a 0D before the 13th byte is data", "", withEarlyCr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptPort port;
    port.bytes(c.before);
    port.frame(c.frame);
    std::vector<BootFrame> frames;
    EXPECT_TRUE(ReadBootFrames(port, [&](const BootFrame& f) {
      frames.push_back(f);
      return true;
    }));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], c.frame);
  }
}

TEST(BootFrames, AReadEndsAtTheFirstReadThatBringsNothingAndAfter1024Reads) {
  ScriptPort quiet;
  quiet.nothing();
  quiet.frame(answerHeader(0x4003, 0));
  EXPECT_FALSE(WaitBootAck(quiet));
  EXPECT_EQ(quiet.reads, 1);
  EXPECT_TRUE(WaitBootAck(quiet));  // the frame is still there for the next read

  for (const int failures : {1024 - 13, 1024 - 12}) {
    ScriptPort failing;
    failing.failures(failures);
    failing.frame(answerHeader(0x4003, 0));
    EXPECT_EQ(WaitBootAck(failing), failures == 1024 - 13) << failures;
  }
}

TEST(BootFrames, AnAcknowledgementIsTheFirstFrameAndAnAcceptedHeader) {
  const struct {
    const char* name;
    std::vector<BootFrame> frames;
    bool acknowledged;
  } cases[] = {
      {"status 0", {answerHeader(0x4003, 0)}, true},
      {"status 1", {answerHeader(0x4003, 1), answerHeader(0x4003, 0)}, false},
      {"a kind-4 frame first", {answerData(0), answerHeader(0x4003, 0)}, false},
      {"a command frame first", {MakeBootCommandFrame(0x4003, 0, {0, 0, 0}, 0)}, false},
  };
  for (const auto& c : cases) {
    ScriptPort port;
    for (const BootFrame& f : c.frames) port.frame(f);
    EXPECT_EQ(WaitBootAck(port), c.acknowledged) << c.name;
  }
}

TEST(BootFrames, AVerifyAnswerIsADataFrameAfterAnAcceptedHeader) {
  const struct {
    const char* name;
    std::vector<BootFrame> frames;
    std::optional<uint8_t> checksum;
  } cases[] = {
      {"header and data", {answerHeader(0x2003, 0), answerData(7)}, 7},
      {"data first is dropped", {answerData(9), answerHeader(0x2003, 0), answerData(7)}, 7},
      {"refused header", {answerHeader(0x2003, 1), answerData(7)}, std::nullopt},
      {"header alone", {answerHeader(0x2003, 0)}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptPort port;
    for (const BootFrame& f : c.frames) port.frame(f);
    VerifyReply reply;
    reply.disarm();
    EXPECT_EQ(reply.WaitVerifyReply(port), c.checksum.has_value());
    if (c.checksum) {
      EXPECT_EQ(reply.deviceChecksum(), *c.checksum);
    }
  }
}

TEST(BootFrames, TheVersionIsShownFromADataFrameAfterTheVersionHeader) {
  const struct {
    const char* name;
    BootFrame header;
    std::optional<std::pair<int, int>> shown;
  } cases[] = {
      {"0x000B accepted", answerHeader(0x000B, 0), std::pair{1, 5}},
      {"0x000B refused", answerHeader(0x000B, 1), std::nullopt},
      {"0x000B of index 1", answerHeader(0x000B, 0, 1), std::nullopt},
      {"another command", answerHeader(0x2003, 0), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptPort port;
    port.frame(c.header);
    port.frame(answerData(1, 5));
    std::optional<std::pair<int, int>> shown;
    BootloaderReply reply([&](uint8_t major, uint8_t minor) { shown = std::pair{int{major}, int{minor}}; });
    for (int i = 0; i < 5; ++i) reply.ReadBootloaderReply(port);  // one frame a call; the last three find none
    EXPECT_EQ(shown, c.shown);
  }
}

// The carrier over the simulated adapter: each frame out in its own 0x0701 frame, the bootloader's frames back
// out of 0x0702 frames, noise and a frame with a wrong CHK skipped.
TEST(BootFrames, TheAdapterCarrierWrapsAndUnwraps) {
  test::ScopedTimeScale fast{0.01};
  test::LinkRig rig;
  auto adapter = rig.sim().addAdapter();
  adapter->setPack(std::make_shared<sim::Ur2Pack>());
  rig.chooseProtocol(0);
  rig.scan();
  rig.pick(0);
  ASSERT_TRUE(rig.link.OpenAdapter());
  AdapterBootPort port(rig.link);

  ASSERT_TRUE(SendBootCommand(port, 0x4202, 0, {0, 0, 0}, 0));
  ASSERT_EQ(adapter->written().size(), 1u);
  EXPECT_EQ(adapter->written()[0].left(8), QByteArray::fromHex("55AA0701000D000D"));
  EXPECT_EQ(adapter->written()[0].mid(8, 13), bytesOf(MakeBootCommandFrame(0x4202, 0, {0, 0, 0}, 0)));

  const QByteArray ack = bytesOf(answerHeader(0x4003, 0));
  QByteArray wrapped = QByteArray::fromHex("55AA0702000D") + ack;
  uint8_t x = 0;
  for (qsizetype i = 2; i < wrapped.size(); ++i) x ^= static_cast<uint8_t>(wrapped[i]);
  QByteArray badChk = wrapped + static_cast<char>(~x ^ 0x01) + "\r";
  wrapped += static_cast<char>(~x);
  wrapped += '\r';
  port.purge();
  adapter->inject("\x01\x55\xAA" + badChk + wrapped);
  EXPECT_TRUE(test::onWorker([&] { return WaitBootAck(port); }));
  rig.link.CloseAdapter();
}

// The carrier judges its write by its own count: a write on another thread (the CAN keep-alive's) between its
// write and its check must not make a whole write look short, nor a short one whole.
// The other thread's writes are ones the device takes nothing of at once (a full queue), so they come often.
class FullQueueElsewhere : public test::SpyDriver {
 public:
  std::atomic<std::thread::id> elsewhere{};
  FtStatus Write(platform::FtHandle h, const void* b, uint32_t n, uint32_t* put) override {
    if (std::this_thread::get_id() != elsewhere.load()) return SpyDriver::Write(h, b, n, put);
    *put = 0;
    return platform::FT_OK;
  }
};

TEST(BootFrames, TheAdapterCarrierJudgesItsOwnWriteWhileAnotherThreadWrites) {
  test::ScopedTimeScale fast{0.01};
  auto driver = std::make_unique<FullQueueElsewhere>();
  FullQueueElsewhere& spy = *driver;
  test::LinkRig rig(std::move(driver));
  rig.sim().addAdapter();  // nothing behind it: the writes pile up no answers
  rig.chooseProtocol(0);
  rig.scan();
  rig.pick(0);
  ASSERT_TRUE(rig.link.OpenAdapter());
  AdapterBootPort port(rig.link);
  std::atomic<bool> done{false};
  std::thread other([&] {
    spy.elsewhere.store(std::this_thread::get_id());
    const uint8_t bytes[5] = {1, 2, 3, 4, 5};
    while (!done.load()) link::WriteAdapterBytes(rig.link, bytes, sizeof bytes);
  });
  int refused = 0;
  for (int i = 0; i < 200000; ++i) {
    if (!port.write(MakeBootCommandFrame(0x4202, 0, {0, 0, 0}, 0))) ++refused;
  }
  done.store(true);
  other.join();
  EXPECT_EQ(refused, 0);
  rig.link.CloseAdapter();
}

}  // namespace
}  // namespace qv
