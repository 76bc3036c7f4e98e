// The CAN request and answer layer over the simulated adapter: what the senders put on the bus, what the
// receivers hand to the dispatcher and return, and answers that count for CanWaitResponse even when another
// receive read them.

#include "link/CanLayer.h"
#include "link/Link.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainWindowLink.h"
#include "sim/SimDriver.h"
#include "support/BareStore.h"
#include "support/Bytes.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qv {
namespace {

using test::hex;

struct Dispatched {
  uint8_t flag;
  uint32_t id;
  QByteArray data;
  uint8_t length;
  bool operator==(const Dispatched&) const = default;
};

class RecordingSink : public link::CanFrameSink {
 public:
  std::vector<Dispatched> frames;
  void DispatchCanFrame(uint8_t flag, uint32_t id, const uint8_t data[8], uint8_t length) override {
    frames.push_back({flag, id, QByteArray(reinterpret_cast<const char*>(data), 8), length});
  }
};

sim::CanFrame canFrame(uint32_t id, const char* data, uint8_t length = 8, bool ext = false, bool flag = false) {
  sim::CanFrame f;
  f.id = id;
  f.ext = ext;
  f.flag = flag;
  f.length = length;
  const QByteArray d = hex(data);
  std::memcpy(f.data, d.constData(), static_cast<size_t>(std::min<qsizetype>(d.size(), 8)));
  return f;
}

class CanLayer : public ::testing::Test {
 protected:
  CanLayer() {
    adapter = driver->addAdapter();
    platform::FtHandle h = 0;
    EXPECT_EQ(driver->OpenByLocation(adapter->record().locId, &h), platform::FT_OK);
    driver->SetTimeouts(h, 1, 1);
    link.AdapterHandle = h;
    link.setCanFrameSink(&sink);
    ControlState lamp;
    lamp.color = colour::White;
    services.controls.declare(mainwindow::ctl::Shape_TX, lamp);
    services.controls.declare(mainwindow::ctl::Shape_RX, lamp);
  }

  void inject(const sim::CanFrame& f) { adapter->inject(sim::encodeCan(f)); }
  // The message of every CAN frame written, in order.
  std::vector<sim::CanFrame> written() const {
    std::vector<sim::CanFrame> out;
    for (const QByteArray& w : adapter->written()) {
      sim::CanFrame f;
      EXPECT_TRUE(sim::decodeCan(reinterpret_cast<const uint8_t*>(w.constData()), &f));
      out.push_back(f);
    }
    return out;
  }
  Colour lamp(Control name) const { return services.controls.color(name); }

  test::ScopedTimeScale fast{0.02};
  sim::SimDriver* driver = new sim::SimDriver;
  platform::Services services{std::unique_ptr<platform::Driver>(driver)};
  link::Link link{services, mainwindow::kLinkControls};
  // The windows' entries, in the state of a store nothing has written yet.
  const bool declared_ = (test::declareBareMainWindows(services.controls), true);
  std::shared_ptr<sim::SimAdapter> adapter;
  RecordingSink sink;
};

TEST_F(CanLayer, SendersPutTheirMessagesOnTheBus) {
  EXPECT_TRUE(link::CanSendRequest(link, 0x4101, 0, {0, 0, 0}, 1));
  EXPECT_EQ(lamp(mainwindow::ctl::Shape_TX), colour::Red);
  const uint8_t one[1] = {0x01};
  EXPECT_TRUE(link::CanSendRequestData(link, one, 1));
  const uint8_t ten[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_TRUE(link::CanSendRequestData(link, ten, 10));     // never more than a message holds
  EXPECT_EQ(lamp(mainwindow::ctl::Shape_TX), colour::Red);  // data messages leave the lamp alone
  EXPECT_TRUE(link::CanSendWords(link, 0x304, 0x00FF0192, 0x01020304));
  EXPECT_EQ(lamp(mainwindow::ctl::Shape_TX), colour::White);
  EXPECT_TRUE(link::CanSendRequest(link, 0x200A, 0x0304, {0xA1, 0xA2, 0xA3}, 0));

  const std::vector<sim::CanFrame> w = written();
  ASSERT_EQ(w.size(), 5u);
  struct Expected {
    uint32_t id;
    uint8_t length;
    const char* data;
  };
  const Expected expected[] = {{0x440, 8, "41 01 00 00 00 00 00 01"},
                               {0x441, 1, "01 00 00 00 00 00 00 00"},
                               {0x441, 8, "01 02 03 04 05 06 07 08"},
                               {0x304, 8, "92 01 FF 00 01 02 03 04"},
                               {0x440, 8, "20 0A 03 04 A1 A2 A3 00"}};
  for (size_t i = 0; i < w.size(); ++i) {
    EXPECT_EQ(w[i].id, expected[i].id) << i;
    EXPECT_FALSE(w[i].ext || w[i].flag) << i;
    EXPECT_EQ(w[i].length, expected[i].length) << i;
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(w[i].data), 8), hex(expected[i].data)) << i;
  }

  adapter->unplug();
  EXPECT_FALSE(link::CanSendRequest(link, 0x4101, 0, {0, 0, 0}, 1));
  EXPECT_FALSE(link::CanSendWords(link, 0x304, 0, 0));
  EXPECT_EQ(lamp(mainwindow::ctl::Shape_TX), colour::Red);  // a failed write is no activity
}

TEST_F(CanLayer, ReceiversHandOnEveryFrameAsReceived) {
  inject(canFrame(0x401, "10 27 00 00 18 FC FF FF"));
  inject(canFrame(0x404, "92 00 00 00 00 05 00 00", 3));               // only the bytes its length says
  inject(canFrame(0x442, "20 0A 00 03 00 00 00 05", 15));              // a length beyond 8: 8 bytes, length as received
  inject(canFrame(0x443, "41 42 43 44 45 46 47 48", 8, false, true));  // message flag: no data
  inject(canFrame(0x400, "01 00 41 02 00 00 00 00", 8, true));         // bit 29: not for this receiver
  EXPECT_TRUE(link::CanReceiveDispatch(link));
  const std::vector<Dispatched> expected = {
      {0, 0x401, hex("10 27 00 00 18 FC FF FF"), 8},
      {0, 0x404, hex("92 00 00 00 00 00 00 00"), 3},
      {0, 0x442, hex("20 0A 00 03 00 00 00 05"), 15},
      {1, 0x443, hex("00 00 00 00 00 00 00 00"), 8},
  };
  EXPECT_EQ(sink.frames, expected);
  EXPECT_EQ(lamp(mainwindow::ctl::Shape_RX), colour::White);  // four frames handed on: four toggles
}

TEST_F(CanLayer, ResultsOfTheReceivers) {
  const sim::CanFrame ext400 = canFrame(0x400, "00 00 00 00 00 00 00 00", 8, true);
  const sim::CanFrame answerData = canFrame(0x443, "00 00 00 00 00 00 00 00");
  struct Case {
    const char* what;
    std::vector<sim::CanFrame> frames;
    bool (*receiver)(link::Link&);
    bool result;
    size_t handedOn;
  };
  const std::vector<Case> cases = {
      {"a 0x400 with bit 29 alone", {ext400}, link::CanReceiveDispatch, false, 0},
      {"the same for DispatchAll", {ext400}, link::CanReceiveDispatchAll, true, 1},
      {"the same for DispatchAny", {ext400}, link::CanReceiveDispatchAny, false, 0},
      {"an answer is no broadcast", {answerData}, link::CanReceiveDispatch, false, 1},
      {"but any frame for DispatchAny", {answerData}, link::CanReceiveDispatchAny, true, 1},
      {"0x403 is a broadcast", {answerData, canFrame(0x403, "00")}, link::CanReceiveDispatch, true, 2},
      {"0x404 is not", {canFrame(0x404, "00")}, link::CanReceiveDispatch, false, 1},
      {"nothing there", {}, link::CanReceiveDispatchAll, false, 0},
  };
  for (const Case& c : cases) {
    sink.frames.clear();
    for (const sim::CanFrame& f : c.frames) inject(f);
    EXPECT_EQ(c.receiver(link), c.result) << c.what;
    EXPECT_EQ(sink.frames.size(), c.handedOn) << c.what;
    if (!sink.frames.empty()) {
      EXPECT_EQ(sink.frames[0].id, c.frames[0].id | (c.frames[0].ext ? link::kCanIdBit29 : 0)) << c.what;
    }
  }

  inject(canFrame(0x400, "00"));
  adapter->unplug();  // a failing read hands nothing on
  sink.frames.clear();
  EXPECT_FALSE(link::CanReceiveDispatchAll(link));
  EXPECT_FALSE(link::CanWaitResponse(link, 0x4209, 0));
  EXPECT_TRUE(sink.frames.empty());
}

TEST_F(CanLayer, AnAnswerWhoseHeaderEndsAReadHasItsDataHandedOnBeforeItCounts) {
  // A backlog of broadcasts fills one read up to the answer's header; its data frame comes in the next read.
  const int backlog = link::kCanReadSize / link::kCanFrameSize - 1;
  for (int i = 0; i < backlog; ++i) inject(canFrame(0x400, "01 02 03 04 05 06 07 08"));
  inject(canFrame(0x442, "10 05 00 00 00 00 00 00"));
  inject(canFrame(0x443, "18 07 03 09 05 07 00 00"));
  EXPECT_TRUE(link::CanWaitResponse(link, 0x1005, 0));
  ASSERT_EQ(sink.frames.size(), static_cast<size_t>(backlog + 2));
  EXPECT_EQ(sink.frames[static_cast<size_t>(backlog)].id, 0x442u);
  EXPECT_EQ(sink.frames.back().id, 0x443u) << "the clock's data are there when the answer counts";
}

TEST_F(CanLayer, WaitResponseCountsAcceptedHeadersOnly) {
  inject(canFrame(0x442, "42 09 00 00 00 00 00 01"));  // refused
  EXPECT_FALSE(link::CanWaitResponse(link, 0x4209, 0));
  inject(canFrame(0x442, "42 09 00 00 00 00 00 01"));
  inject(canFrame(0x442, "42 09 00 00 00 00 00 00"));
  EXPECT_TRUE(link::CanWaitResponse(link, 0x4209, 0));
  EXPECT_EQ(sink.frames.size(), 3u);                   // every header is dispatched, whatever its status
  inject(canFrame(0x442, "42 09 00 01 00 00 00 00"));  // another index
  inject(canFrame(0x442, "42 08 00 00 00 00 00 00"));  // another command
  EXPECT_FALSE(link::CanWaitResponse(link, 0x4209, 0));

  struct Label {
    uint16_t command, index;
    Control label;
    const char* text;
  };
  for (const Label& l : {Label{0x4008, 1, mainwindow::ctl::Label_Barcode_W, "OK21"},
                         Label{0x4008, 2, mainwindow::ctl::Label_Barcode_W, "OK22"},
                         Label{0x000A, 1, mainwindow::ctl::Label_Barcode_R, "OK21"},
                         Label{0x000A, 2, mainwindow::ctl::Label_Barcode_R, "OK22"}}) {
    services.controls.setText(l.label, "-");
    uint8_t header[8] = {static_cast<uint8_t>(l.command >> 8), static_cast<uint8_t>(l.command), 0,
                         static_cast<uint8_t>(l.index)};
    sim::CanFrame f = canFrame(0x442, "");
    std::memcpy(f.data, header, 8);
    inject(f);
    EXPECT_TRUE(link::CanWaitResponse(link, l.command, l.index));
    EXPECT_EQ(services.controls.text(l.label), l.text) << l.command << " " << l.index;
  }
}

// A header that another receive consumed still answers the request that asked for it, once; one read before
// the request, or refused, does not.
TEST_F(CanLayer, AnswersReadByAnotherReceiveStillCount) {
  ASSERT_TRUE(link::CanSendRequest(link, 0x4209, 0, {0, 0, 0}, 1));
  inject(canFrame(0x442, "42 09 00 00 00 00 00 00"));
  EXPECT_TRUE(link::CanReceiveDispatchAll(link));  // the monitoring cycle's receive
  EXPECT_TRUE(link::CanWaitResponse(link, 0x4209, 0));
  EXPECT_FALSE(link::CanWaitResponse(link, 0x4209, 0));  // one answer counts once

  inject(canFrame(0x442, "20 0B 00 00 00 00 00 00"));
  EXPECT_FALSE(link::CanReceiveDispatch(link));                      // read and dispatched, though no broadcast
  ASSERT_TRUE(link::CanSendRequest(link, 0x200B, 0, {0, 0, 0}, 0));  // asked after the answer was read
  EXPECT_FALSE(link::CanWaitResponse(link, 0x200B, 0));

  ASSERT_TRUE(link::CanSendRequest(link, 0x4102, 0, {0, 0, 0}, 1));
  inject(canFrame(0x442, "41 02 00 00 00 00 00 02"));
  EXPECT_TRUE(link::CanReceiveDispatchAny(link));
  EXPECT_FALSE(link::CanWaitResponse(link, 0x4102, 0));

  // The requests of a whole monitoring cycle, asked meanwhile, do not push out an armed one.
  ASSERT_TRUE(link::CanSendRequest(link, 0x4006, 0, {0, 0, 0}, 6));
  for (uint16_t i = 1; i <= 20; ++i) ASSERT_TRUE(link::CanSendRequest(link, 0x1001, i, {0, 0, 0}, 0));
  inject(canFrame(0x442, "40 06 00 00 00 00 00 00"));
  EXPECT_TRUE(link::CanReceiveDispatchAll(link));
  EXPECT_TRUE(link::CanWaitResponse(link, 0x4006, 0));
}

}  // namespace
}  // namespace qv
