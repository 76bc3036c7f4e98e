// The CAN write commands over the simulated CAN pack, through the CAN dispatcher the program uses: the frames
// they put on the bus byte for byte, how often they try, and their result with a pack that answers, stays
// silent, answers late or refuses one part; and that they borrow a running CAN session and no other.

#include "link/CanWriteCommands.h"
#include "link/Link.h"
#include "mainwindow/CanDispatcher.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainWindowLink.h"
#include "mainwindow/PackDispatcher.h"
#include "sim/CanPack.h"
#include "sim/SimDriver.h"
#include "support/BareStore.h"
#include "support/Bytes.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qv {
namespace {

using link::CanAckFamily;
using test::hex;

struct Sent {
  uint32_t id;
  int length;
  QByteArray data;
};

using Command = std::function<bool(link::Link&)>;

class CanWrite : public ::testing::Test {
 protected:
  CanWrite() {
    adapter = driver->addAdapter();
    adapter->setCanNode(pack);
    platform::FtHandle h = 0;
    EXPECT_EQ(driver->OpenByLocation(adapter->record().locId, &h), platform::FT_OK);
    driver->SetTimeouts(h, 1, 1);
    link.AdapterHandle = h;
    link.setCanFrameSink(&can);
    link.setCanAnswerFlags(&can.ackFlags());
    session.emplace(link);
  }
  ~CanWrite() override {
    link.setCanFrameSink(nullptr);
    link.setCanAnswerFlags(nullptr);
  }

  // The CAN messages the program wrote, in order.
  std::vector<Sent> sent() const {
    std::vector<Sent> out;
    for (const QByteArray& f : adapter->written()) {
      if (f.size() != 19 || f.mid(0, 4) != hex("55 AA 04 01")) continue;
      const auto u8 = [&](int i) { return static_cast<uint8_t>(f[i]); };
      out.push_back({uint32_t(u8(5) & 0x1F) << 24 | uint32_t(u8(6)) << 16 | uint32_t(u8(7)) << 8 | u8(8), u8(4) >> 4,
                     f.mid(9, 8)});
    }
    return out;
  }
  int requests() const {
    int n = 0;
    for (const Sent& s : sent()) n += s.id == 0x440 ? 1 : 0;
    return n;
  }
  void setFaults(const std::function<void(sim::CanPackFaults&)>& edit) {
    sim::CanPackFaults f;
    edit(f);
    pack->setFaults(f);
  }

  test::ScopedTimeScale fast{0.1};
  sim::SimDriver* driver = new sim::SimDriver;
  platform::Services services{std::unique_ptr<platform::Driver>(driver)};
  link::Link link{services, mainwindow::kLinkControls};
  // The windows' entries, in the state of a store nothing has written yet.
  const bool declared_ = (test::declareBareMainWindows(services.controls), true);
  mainwindow::MainState state;
  mainwindow::PackDispatcher packDispatcher{services.controls, state};
  mainwindow::CanDispatcher can{services.controls, state, packDispatcher};
  std::shared_ptr<sim::SimAdapter> adapter;
  std::shared_ptr<sim::CanPack> pack = std::make_shared<sim::CanPack>(sim::CanPackState{}, 0);
  std::optional<link::CanSessionScope> session;
};

// The pack behind, its answers to one part held back until the program asks for that part again: the first
// try finds nothing however long it looks, and the next one finds the answer to the first. A clock would decide
// that only on an idle machine.
class OneTryLate : public sim::CanNode {
 public:
  OneTryLate(std::shared_ptr<sim::CanPack> pack, uint16_t command, uint16_t index)
      : pack_(std::move(pack)), command_(command), index_(index) {}
  void receive(const sim::CanFrame& frame, std::vector<sim::CanFrame>& out) override {
    if (frame.id == 0x440 && isPart(frame.data)) {
      out.insert(out.end(), held_.begin(), held_.end());
      held_.clear();
    }
    std::vector<sim::CanFrame> answers;
    pack_->receive(frame, answers);
    for (const sim::CanFrame& a : answers) (a.id == 0x442 && isPart(a.data) ? held_ : out).push_back(a);
  }
  void tick(int64_t nowMs, std::vector<sim::CanFrame>& out) override { pack_->tick(nowMs, out); }

 private:
  bool isPart(const uint8_t* d) const { return (d[0] << 8 | d[1]) == command_ && (d[2] << 8 | d[3]) == index_; }
  std::shared_ptr<sim::CanPack> pack_;
  uint16_t command_;
  uint16_t index_;
  std::vector<sim::CanFrame> held_;  // called under the adapter's lock
};

struct Named {
  const char* what;
  Command run;
  uint16_t command;
  int parts;
  int tries;  // per part
};

const Named kCommands[] = {
    {"EraseTotalChargeCapacity", [](link::Link& l) { return link::CanEraseTotalChargeCapacity(l); }, 0x4101, 1, 10},
    {"EraseInternalEeprom", [](link::Link& l) { return link::CanEraseInternalEeprom(l); }, 0x4102, 1, 10},
    {"EraseExternalEeprom", [](link::Link& l) { return link::CanEraseExternalEeprom(l); }, 0x4103, 1, 10},
    {"WriteText32", [](link::Link& l) { return link::CanWriteText32(l, "0123456789"); }, 0x6207, 4, 5},
    {"WriteBarcode32Text", [](link::Link& l) { return link::CanWriteBarcode32Text(l, "0123456789"); }, 0x4009, 4, 5},
    {"WriteBarcode16Text", [](link::Link& l) { return link::CanWriteBarcode16Text(l, "0123456789"); }, 0x4008, 2, 3},
};

TEST_F(CanWrite, ErasesSendTheirRequestAndOneDataByte) {
  struct Case {
    Command run;
    const char* request;
    const char* data;
    int sim::CanPackState::*count;
  };
  const Case cases[] = {
      {link::CanEraseTotalChargeCapacity, "41 01 00 00 00 00 00 01", "00", &sim::CanPackState::totalChargeErases},
      {link::CanEraseInternalEeprom, "41 02 00 00 00 00 00 01", "00", &sim::CanPackState::internalEepromErases},
      {link::CanEraseExternalEeprom, "41 03 00 00 00 00 00 01", "01", &sim::CanPackState::externalEepromErases},
  };
  for (const Case& c : cases) {
    adapter->clearWritten();
    EXPECT_TRUE(c.run(link)) << c.request;
    const std::vector<Sent> s = sent();
    ASSERT_EQ(s.size(), 2u) << "answered at the first try: " << c.request;
    EXPECT_EQ(s[0].id, 0x440u);
    EXPECT_EQ(s[0].length, 8);
    EXPECT_EQ(s[0].data, hex(c.request));
    EXPECT_EQ(s[1].id, 0x441u);
    EXPECT_EQ(s[1].length, 1);
    EXPECT_EQ(s[1].data, hex(c.data) + QByteArray(7, '\0'));
    EXPECT_EQ(pack->state().*c.count, 1) << c.request;
  }
  EXPECT_EQ(pack->state().totalChargeCapacity, 0u);
}

TEST_F(CanWrite, TextWritersSendEightBytesPerPartFromAZeroFilledBuffer) {
  struct Case {
    std::function<bool(link::Link&, const QByteArray&)> run;
    QByteArray text;
    const char* command;
    int parts;
    QByteArray buffer;  // what the parts carry, in order
    QByteArray sim::CanPackState::*stored;
  };
  const QByteArray ten = "ABCDEFGHIJ";
  const QByteArray forty = "0123456789abcdefghijklmnopqrstuvWXYZ0123";
  const Case cases[] = {
      // Part 2 carries characters 9 and 10 and six zero bytes; parts 3 and 4 carry zeros.
      {link::CanWriteText32, ten, "62 07", 4, ten + QByteArray(22, '\0'), &sim::CanPackState::eepBarcode},
      // At most 32 characters are taken.
      {link::CanWriteBarcode32Text, forty, "40 09", 4, forty.left(32), &sim::CanPackState::barcode32},
      // Only the first 16 of a longer text.
      {link::CanWriteBarcode16Text, forty.left(20), "40 08", 2, forty.left(16), &sim::CanPackState::barcode16},
  };
  for (const Case& c : cases) {
    adapter->clearWritten();
    EXPECT_TRUE(c.run(link, c.text)) << c.command;
    const std::vector<Sent> s = sent();
    ASSERT_EQ(s.size(), 2u * c.parts) << c.command;
    for (int n = 1; n <= c.parts; ++n) {
      const Sent& request = s[2 * (n - 1)];
      const Sent& data = s[2 * (n - 1) + 1];
      EXPECT_EQ(request.id, 0x440u);
      EXPECT_EQ(request.data, hex(c.command) + hex("00") + QByteArray(1, char(n)) + hex("00 00 00 08")) << n;
      EXPECT_EQ(data.id, 0x441u);
      EXPECT_EQ(data.length, 8);
      EXPECT_EQ(data.data, c.buffer.mid(8 * (n - 1), 8)) << c.command << " part " << n;
    }
    EXPECT_EQ((pack->state().*c.stored).left(c.buffer.size()), c.buffer) << c.command;
  }
  EXPECT_EQ(services.controls.text(mainwindow::ctl::Label_Barcode_W), "OK22");
}

TEST_F(CanWrite, ASilentPackIsTriedTheFixedNumberOfTimesAndFails) {
  test::ScopedTimeScale faster(0.02);  // only counts are looked at
  setFaults([](sim::CanPackFaults& f) { f.silent = true; });
  for (const Named& c : kCommands) {
    adapter->clearWritten();
    EXPECT_FALSE(c.run(link)) << c.what;
    EXPECT_EQ(requests(), c.parts * c.tries) << c.what << ": every part tried in full, the later ones too";
  }
}

TEST_F(CanWrite, ARefusedPartIsNotWritten) {
  test::ScopedTimeScale faster(0.02);
  for (const Named& c : kCommands) {
    const uint16_t last = static_cast<uint16_t>(c.command >= 0x4101 && c.command <= 0x4103 ? 0 : c.parts);
    // Refused at every try: the command fails, having tried that part in full and the others once.
    setFaults([&](sim::CanPackFaults& f) { f.refused = {{c.command, last, -1, 0x01}}; });
    adapter->clearWritten();
    EXPECT_FALSE(c.run(link)) << c.what;
    EXPECT_EQ(requests(), c.parts - 1 + c.tries) << c.what;
    // Refused twice, then taken: the later try counts.
    setFaults([&](sim::CanPackFaults& f) { f.refused = {{c.command, last, 2, 0x01}}; });
    adapter->clearWritten();
    EXPECT_TRUE(c.run(link)) << c.what;
    EXPECT_EQ(requests(), c.parts + 2) << c.what;
  }
}

TEST_F(CanWrite, ALateAnswerCountsAtALaterTry) {
  test::ScopedTimeScale faster(0.02);  // the answer waits for the next try, not for a clock
  struct Case {
    const Named& c;
    uint16_t index;
  };
  // One erase stands for the three: they share their tries.
  const Case cases[] = {{kCommands[2], 0}, {kCommands[3], 1}, {kCommands[4], 1}, {kCommands[5], 1}};
  for (const Case& k : cases) {
    adapter->setCanNode(std::make_shared<OneTryLate>(pack, k.c.command, k.index));
    adapter->clearWritten();
    EXPECT_TRUE(k.c.run(link)) << k.c.what;
    EXPECT_EQ(requests(), k.c.parts + 1) << k.c.what << ": the first try went unanswered, the second took its answer";
  }
}

TEST_F(CanWrite, WithoutACanSessionNothingIsSent) {
  session.reset();
  for (const Named& c : kCommands) {
    EXPECT_FALSE(c.run(link)) << c.what;
  }
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(pack->framesSent(), 0);

  // A session whose adapter is closed holds nothing either.
  session.emplace(link);
  const platform::FtHandle h = link.AdapterHandle.exchange(0);
  EXPECT_FALSE(link::CanEraseExternalEeprom(link));
  link.AdapterHandle = h;
  // Nor does a command that polls flags when none are installed.
  link.setCanAnswerFlags(nullptr);
  EXPECT_FALSE(link::CanWriteBarcode32Text(link, "X"));
  EXPECT_TRUE(sent().empty());
}

TEST_F(CanWrite, TheBarcode32WriterClearsOnlyItsOwnFlags) {
  // Answers of other families that other commands are polling, and a stale accepted part of its own.
  const uint8_t read2[8] = {0x20, 0x0A, 0x00, 0x02, 0, 0, 0, 0};
  const uint8_t shipping[8] = {0x42, 0x09, 0x00, 0x00, 0, 0, 0, 0};
  const uint8_t stale[8] = {0x40, 0x09, 0x00, 0x01, 0, 0, 0, 0};
  for (const uint8_t* header : {read2, shipping, stale}) can.DispatchCanFrame(0, 0x442, header, 8);
  setFaults([](sim::CanPackFaults& f) { f.unanswered = {{0x4009, 1}}; });
  EXPECT_FALSE(link::CanWriteBarcode32Text(link, "ABCDEFGH")) << "the stale part 1 does not count";
  EXPECT_EQ(can.ackFlags().answered(CanAckFamily::Barcode32Read), 0x02);
  EXPECT_EQ(can.ackFlags().answered(CanAckFamily::ShippingModeSet), 0x01);
  EXPECT_EQ(can.ackFlags().accepted(CanAckFamily::Barcode32Write), 0x0E);
}

}  // namespace
}  // namespace qv
