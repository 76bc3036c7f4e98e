// UR2 pack frames on the wire: the requests byte for byte, the answers that ReceivePackMessage accepts and
// refuses, and the acknowledgements of WaitPackAck, over a simulated adapter with nothing behind it (the
// answers are put straight into what the program reads).

#include "link/PackFrames.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainWindowLink.h"
#include "sim/SimDriver.h"
#include "support/Bytes.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

using link::PackMessageBytes;
using test::hex;

struct Dispatched {
  uint16_t id;
  uint16_t index;
  QByteArray data;
};

class RecordingSink : public link::PackMessageSink {
 public:
  void DispatchPackMessage(uint16_t id, uint16_t index, const uint8_t data[8]) override {
    got.push_back({id, index, QByteArray(reinterpret_cast<const char*>(data), 8)});
  }
  std::vector<Dispatched> got;
};

// A 0x0702 frame around a pack frame, built here from the frame tables.
QByteArray answerFrame(uint8_t kind, const QByteArray& message8, bool badCheck = false, bool badChk = false) {
  QByteArray pack("\x40\x00", 2);
  pack.append(static_cast<char>(kind));
  pack.append(message8);
  uint8_t x = 0;
  for (char c : pack) x ^= static_cast<uint8_t>(c);
  pack.append(static_cast<char>(badCheck ? x ^ 1 : x));
  pack.append('\x0D');
  QByteArray frame = sim::replyFrame(0x0702, pack);
  if (badChk) frame[19] = static_cast<char>(frame[19] ^ 1);
  return frame;
}

QByteArray headerMessage(uint16_t id, uint16_t index, uint8_t status) {
  // clang-format off
  const char m[8] = {static_cast<char>(id >> 8), static_cast<char>(id), static_cast<char>(index >> 8),
                     static_cast<char>(index), 0, 0, 0, static_cast<char>(status)};
  // clang-format on
  return QByteArray(m, 8);
}

const QByteArray kData = hex("0C E4 0C E5 0C E6 0C E7");

class PackFrames : public ::testing::Test {
 protected:
  PackFrames() : services_(makeDriver()), link_(services_, mainwindow::kLinkControls) {
    platform::FtHandle h = 0;
    EXPECT_EQ(services_.driver().OpenByLocation(adapter_->record().locId, &h), platform::FT_OK);
    services_.driver().SetTimeouts(h, 100, 50);
    link_.AdapterHandle = h;
    link_.setPackMessageSink(&sink_);
    ControlState unlit;
    unlit.color = colour::White;
    services_.controls.declare(mainwindow::ctl::Shape_TX, unlit);
    services_.controls.declare(mainwindow::ctl::Shape_RX, unlit);
  }

  std::unique_ptr<platform::Driver> makeDriver() {
    auto driver = std::make_unique<sim::SimDriver>();
    adapter_ = driver->addAdapter();
    return driver;
  }

  QByteArray lastWritten() const { return adapter_->written().empty() ? QByteArray() : adapter_->written().back(); }
  Colour tx() const { return services_.controls.color(mainwindow::ctl::Shape_TX); }
  Colour rx() const { return services_.controls.color(mainwindow::ctl::Shape_RX); }

  test::ScopedTimeScale fast_{0.02};
  std::shared_ptr<sim::SimAdapter> adapter_;
  platform::Services services_;
  link::Link link_;
  RecordingSink sink_;
};

TEST_F(PackFrames, RequestsGoOutByteForByte) {
  ASSERT_TRUE(link::SendPackCommand(link_, 0x1001, 2, {0, 0, 0}, 0));
  EXPECT_EQ(lastWritten(), hex("55 AA 07 01 00 0D 00 0D 40 00 01 10 01 00 02 00 00 00 00 52 0D F4 0D"));
  EXPECT_EQ(tx(), colour::Red);

  ASSERT_TRUE(link::SendPackCommand24(link_, 0x6601, 3, 300, 0));
  EXPECT_EQ(lastWritten(), hex("55 AA 07 01 00 0D 00 0D 40 00 01 66 01 00 03 00 01 2C 00 08 0D F4 0D"));
  EXPECT_EQ(tx(), colour::White);

  // A three-letter text: the caller's eight bytes go out whatever follows the letters.
  const PackMessageBytes text{'A', 'B', 'C', 'x', 'y', 'z', 0, 1};
  ASSERT_TRUE(link::SendPackText8(link_, text));
  EXPECT_EQ(lastWritten(), hex("55 AA 07 01 00 0D 00 0D 40 00 02 41 42 43 78 79 7A 00 01 78 0D F4 0D"));
  EXPECT_EQ(link_.AdapterStatus.load(), platform::FT_OK);
}

TEST_F(PackFrames, FailedWriteLeavesTheLampAndReportsTheStatus) {
  adapter_->unplug();
  EXPECT_FALSE(link::SendPackCommand(link_, 0x1001, 1, {0, 0, 0}, 0));
  EXPECT_FALSE(link::SendPackText8(link_, PackMessageBytes{}));
  EXPECT_NE(link_.AdapterStatus.load(), platform::FT_OK);
  EXPECT_EQ(tx(), colour::White);
}

TEST_F(PackFrames, AcceptedAnswerIsDispatchedAndStored) {
  adapter_->inject(answerFrame(3, headerMessage(0x1001, 2, 0)) + answerFrame(4, kData));
  ASSERT_TRUE(link::ReceivePackMessage(link_));
  ASSERT_EQ(sink_.got.size(), 1u);
  EXPECT_EQ(sink_.got[0].id, 0x1001);
  EXPECT_EQ(sink_.got[0].index, 2);
  EXPECT_EQ(sink_.got[0].data, kData);
  EXPECT_EQ(rx(), colour::Lime);

  const link::PackReplyStore store = link_.PackReplyFrames.snapshot();
  ASSERT_EQ(store.count, 2);
  EXPECT_EQ(store.frames[0].header, 0x55AA);
  EXPECT_EQ(store.frames[0].type, 0x0702);
  EXPECT_EQ(store.frames[0].length, 13);
  EXPECT_EQ(store.frames[0].kind, 3);
  EXPECT_EQ(store.frames[1].kind, 4);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(store.frames[1].message.data()), 8), kData);
  EXPECT_EQ(store.frames[1].end, 0x0D);
  EXPECT_EQ(store.frames[1].terminator, 0x0D);
}

TEST_F(PackFrames, RefusedAnswersReachNobody) {
  const QByteArray header = answerFrame(3, headerMessage(0x1001, 2, 0));
  const QByteArray data = answerFrame(4, kData);
  QByteArray wrongType = header;
  wrongType[3] = 0x19;
  QByteArray noTerminator = data;
  noTerminator[20] = 0;
  QByteArray notAt = data;
  notAt[6] = 0x41;
  const struct {
    const char* what;
    QByteArray bytes;
  } cases[] = {
      {"status 1", answerFrame(3, headerMessage(0x1001, 2, 1)) + data},
      {"data before header", data + header},
      {"one frame only", header},
      {"wrong type", wrongType + data},
      {"no adapter terminator", header + noTerminator},
      {"no leading 40", header + notAt},
      {"bad pack check byte", header + answerFrame(4, kData, true)},
      {"bad CHK", answerFrame(3, headerMessage(0x1001, 2, 0), false, true) + data},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    link_.PurgeSerialHandle();
    adapter_->inject(c.bytes);
    EXPECT_FALSE(link::ReceivePackMessage(link_));
    EXPECT_TRUE(sink_.got.empty());
    EXPECT_EQ(rx(), colour::White);
  }
}

TEST_F(PackFrames, FailedReadWhitensTheRxLamp) {
  services_.controls.setColor(mainwindow::ctl::Shape_RX, colour::Lime);
  adapter_->unplug();
  EXPECT_FALSE(link::ReceivePackMessage(link_));
  EXPECT_EQ(rx(), colour::White);
  EXPECT_NE(link_.AdapterStatus.load(), platform::FT_OK);
}

TEST_F(PackFrames, CommandsStartWithoutStaleBytesButDataFramesKeepThem) {
  adapter_->inject(hex("0D 55 AA 07 02"));  // what an earlier exchange left behind
  ASSERT_TRUE(link::SendPackCommand(link_, 0x1001, 2, {0, 0, 0}, 0));
  adapter_->inject(answerFrame(3, headerMessage(0x1001, 2, 0)) + answerFrame(4, kData));
  EXPECT_TRUE(link::ReceivePackMessage(link_));

  // The pack may answer a write's first frame before its data frame goes out.
  ASSERT_TRUE(link::SendPackCommand(link_, 0x4009, 3, {0, 0, 0}, 8));
  adapter_->inject(answerFrame(3, headerMessage(0x4009, 3, 0)));
  ASSERT_TRUE(link::SendPackText8(link_, PackMessageBytes{'A', 'B', 'C'}));
  EXPECT_TRUE(link::WaitPackAck(link_, 0x4009, 3));
}

TEST_F(PackFrames, AcknowledgementsFollowTheirOwnRule) {
  const QByteArray data = answerFrame(4, kData);
  const auto ack = [](uint16_t index, uint8_t status, bool badCheck = false) {
    return answerFrame(3, headerMessage(0x4009, index, status), badCheck, badCheck);
  };
  const struct {
    const char* what;
    QByteArray bytes;
    bool acknowledged;
  } cases[] = {
      {"header with bad check bytes", ack(3, 0, true), true},
      {"header for another index", ack(2, 0), false},
      {"status 1", ack(3, 1), false},
      {"data first", data + ack(3, 0), false},
      {"two answers", ack(3, 0) + data + ack(3, 0) + data, true},
      {"third frame refuses", ack(3, 0) + data + ack(3, 1), false},
      {"trailing part ignored", ack(3, 0) + hex("55 AA 07 02 00"), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    link_.PurgeSerialHandle();
    adapter_->inject(c.bytes);
    EXPECT_EQ(link::WaitPackAck(link_, 0x4009, 3), c.acknowledged);
  }
  EXPECT_TRUE(sink_.got.empty());
}

TEST_F(PackFrames, ALengthNoReplyHasEndsTheRead) {
  // Behind a frame that claims more than any reply holds, the next answer is not taken into this read's
  // records, nor judged as one of its odd frames: it stays for the read that follows.
  const QByteArray next = answerFrame(3, headerMessage(0x1001, 2, 0)) + answerFrame(4, kData);
  adapter_->inject(answerFrame(3, headerMessage(0x4009, 3, 0)) + hex("55 AA 07 02 FF FF") + next);
  EXPECT_TRUE(link::WaitPackAck(link_, 0x4009, 3));
  EXPECT_EQ(link_.PackReplyFrames.snapshot().count, 1);
  EXPECT_TRUE(link::ReceivePackMessage(link_));
  ASSERT_EQ(sink_.got.size(), 1u);
  EXPECT_EQ(sink_.got[0].id, 0x1001);
}

TEST_F(PackFrames, AcknowledgementReadKeepsAtMostTenFrames) {
  // Eleven frames: the read takes ten, the store holds them all, and the ninth decides.
  QByteArray bytes;
  for (int i = 0; i < 11; ++i) bytes += answerFrame(3, headerMessage(0x4009, 3, i == 8 ? 1 : 0));
  adapter_->inject(bytes);
  EXPECT_FALSE(link::WaitPackAck(link_, 0x4009, 3));
  const link::PackReplyStore store = link_.PackReplyFrames.snapshot();
  EXPECT_EQ(store.count, link::PackReplyStore::kCapacity);
  EXPECT_EQ(store.frames[8].message[7], 1);
  EXPECT_EQ(store.frames[9].message[7], 0);

  link_.PurgeSerialHandle();
  EXPECT_EQ(rx(), colour::Lime);
  adapter_->inject(hex("55 AA 07 02 00 0D 40"));  // less than one frame: no lamp
  EXPECT_FALSE(link::WaitPackAck(link_, 0x4009, 3));
  EXPECT_EQ(rx(), colour::Lime);
}

}  // namespace
}  // namespace qv
