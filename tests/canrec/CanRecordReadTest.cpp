// The CAN EEPROM record window's read over the simulated pack: the three records' lines, parts missing or
// refused, the adapter borrowed from CAN monitoring or opened for the read alone, the keep-alive, the flags.

#include "CanRecRig.h"
#include "eeprom/EEPRecordFormControls.h"
#include "sim/CanRecords.h"
#include "support/TimeScale.h"

#include <utility>

namespace qv {
namespace {

using eeprom::recordCtl::BitBtnEEPBlockChoiceRead;
using eeprom::recordCtl::MemoEEPBasicRecord;

// 2018.7.3 14:05:09, current bytes FF FF 88 CC (-30516 mA), voltage word 6500 (13000 mV), SOC 35, T1 0xF6,
// 12 mV, 57 cycles.
sim::EepRecordFields fields(uint8_t flag, bool goodSum = true) {
  sim::EepRecordFields f;
  f.year = 18;
  f.month = 7;
  f.day = 3;
  f.hour = 14;
  f.minute = 5;
  f.second = 9;
  f.current = -30516;
  f.voltageWord = 6500;
  f.stateOfCharge = 35;
  f.t1 = -10;
  f.voltageDifference = 12;
  f.cycleCount = 57;
  f.flag = flag;
  f.goodSum = goodSum;
  return f;
}

const QString kLine = "0001 , Date : 2018.7.3 , Time : 14.5.9 , Current  : -30516 mA , Voltage  : 13000 mV , "
                      "SOC  : 35 % , T1  : -10 Degree C , VoltDiff  : 12 mV , Cycle Cnt  : 57  , Ptt/Evt : 1 , ";
const QStringList kBlock1 = {"Last Chrage Event  : ", kLine + "Event : Last Charge . "};
const QStringList kBlock2 = {"No Last Full Chrage Event."};
const QStringList kBlock3 = {"Last UVP Event  : ", kLine + "Event : Last UVP .  (CheckSum Error)"};

// Block 1 its own event, block 2 block 1's event code, block 3 its own event with a wrong sum.
void setRecords(sim::CanPack& pack) {
  sim::CanPackState s = pack.state();
  s.records = {sim::EncodeEepRecord(fields(140)), sim::EncodeEepRecord(fields(140)),
               sim::EncodeEepRecord(fields(142, false))};
  pack.setState(s);
}

struct CanRecordRead : ::testing::Test {
  test::ScopedTimeScale fast{0.05};
  test::CanRecRig rig;

  void SetUp() override { setRecords(*rig.pack); }
  QStringList read() {
    rig.tool.FormEEP_Record.onEvent(BitBtnEEPBlockChoiceRead, UiEvent::Click);
    rig.finish("eep-record-read");
    return rig.c.items(MemoEEPBasicRecord);
  }
  int requestsFor(uint16_t index) const {
    int n = 0;
    for (const QByteArray& d : rig.written(0x440)) {
      if (d.startsWith(QByteArray::fromHex("6502")) && uint8_t(d[2]) == index >> 8 && uint8_t(d[3]) == (index & 0xFF))
        ++n;
    }
    return n;
  }
};

TEST_F(CanRecordRead, DuringCanMonitoringTheThreeRecordsShowAndTheRunGoesOn) {
  rig.startMonitoring();
  EXPECT_EQ(read(), kBlock1 + kBlock2 + kBlock3);
  // Each part answered at its first request, and a second click while the read ran started no second read.
  EXPECT_EQ(requestsFor(0x101), 1);
  EXPECT_TRUE(rig.c.enabled(BitBtnEEPBlockChoiceRead));
  // The run's adapter, keep-alive and run flag are left as they were.
  EXPECT_TRUE(rig.tool.link.canSessionHeld());
  EXPECT_TRUE(rig.c.enabled(mainwindow::ctl::Timer_300h_ON));
  EXPECT_TRUE(rig.tool.state.RunFlag.running());
  // A second read clears the memo first and reads all three blocks again.
  EXPECT_EQ(read(), kBlock1 + kBlock2 + kBlock3);
  EXPECT_EQ(requestsFor(0x304), 2);
}

TEST_F(CanRecordRead, ADoubleClickStartsOneRead) {
  rig.startMonitoring();
  rig.tool.FormEEP_Record.onEvent(BitBtnEEPBlockChoiceRead, UiEvent::Click);
  rig.tool.FormEEP_Record.onEvent(BitBtnEEPBlockChoiceRead, UiEvent::Click);
  rig.finish("eep-record-read");
  EXPECT_EQ(rig.c.items(MemoEEPBasicRecord), kBlock1 + kBlock2 + kBlock3);
  EXPECT_EQ(requestsFor(0x101), 1);
}

TEST_F(CanRecordRead, APartThatIsNotAcceptedHidesItsBlockWhole) {
  rig.startMonitoring();
  using Faults = sim::CanPackFaults;
  auto refused = [](uint16_t index, int times, bool withData) {
    Faults f;
    f.refused.push_back({0x6502, index, times, 0x02, withData});
    return f;
  };
  Faults missing;
  missing.unanswered.push_back({0x6502, 0x302});
  const struct {
    const char* name;
    Faults faults;
    QStringList lines;
    uint16_t index;  // the part's requests
    int requests;
  } cases[] = {
      {"block 3, part 2 never answered", missing, kBlock1 + kBlock2, 0x302, 10},
      {"block 2, part 3 refused", refused(0x203, -1, false), kBlock1 + kBlock3, 0x203, 10},
      // The pack's data after a refusing header is stored, but is not the pack's record.
      {"block 1, part 2 refused with its data", refused(0x102, -1, true), kBlock2 + kBlock3, 0x102, 10},
      {"block 1, part 4 refused twice, then accepted", refused(0x104, 2, false), kBlock1 + kBlock2 + kBlock3, 0x104, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    rig.pack->setFaults(c.faults);
    rig.adapter->clearWritten();
    EXPECT_EQ(read(), c.lines);
    EXPECT_EQ(requestsFor(c.index), c.requests);
  }
}

// An answer of block 2 that comes only once block 3 is being read is not block 3's part: block 3 whose own
// part 4 never brings its data is not shown, though a header accepted its request.
TEST_F(CanRecordRead, ALateAnswerOfTheBlockBeforeIsNotThisBlocksPart) {
  sim::CanPackState s = rig.pack->state();
  s.records[1] = sim::EncodeEepRecord(fields(141));
  rig.pack->setState(s);
  sim::Faults f;
  // Block 2's part 4: nine answers lost, the tenth late; block 3's part 4: every header without its data.
  f.schedule = [tries = 0, dataFate = sim::Fate::Deliver](int64_t, const QByteArray& frame) mutable {
    const auto u8 = [&](int i) { return static_cast<uint8_t>(frame[i]); };
    const uint32_t id = static_cast<uint32_t>(u8(7) << 8 | u8(8));
    if (id == 0x443) return std::exchange(dataFate, sim::Fate::Deliver);
    if (id != 0x442 || u8(9) != 0x65 || u8(10) != 0x02) return sim::Fate::Deliver;
    const uint16_t index = static_cast<uint16_t>(u8(11) << 8 | u8(12));
    if (index == 0x204) dataFate = ++tries < 10 ? sim::Fate::Lose : sim::Fate::Late;
    if (index == 0x304) {
      dataFate = sim::Fate::Lose;
      return sim::Fate::Deliver;
    }
    return dataFate;
  };
  rig.adapter->setFaults(f);
  EXPECT_EQ(read(), kBlock1);
  EXPECT_EQ(requestsFor(0x204), 10);
  EXPECT_EQ(requestsFor(0x304), 10);
}

TEST_F(CanRecordRead, WithoutMonitoringTheReadOpensAndClosesTheAdapterItself) {
  rig.c.setEnabled(mainwindow::ctl::Timer_300h_ON, false);
  // Another command's answer flag (the shipping-mode read's) is not this read's to clear.
  const uint8_t header[8] = {0x20, 0x0B, 0x00, 0x00, 0, 0, 0, 0};
  rig.tool.canDispatcher.DispatchCanFrame(0, 0x442, header, 8);

  EXPECT_EQ(read(), kBlock1 + kBlock2 + kBlock3);
  EXPECT_EQ(rig.tool.link.AdapterHandle.load(), 0u);
  EXPECT_FALSE(rig.c.enabled(mainwindow::ctl::Timer_300h_ON));
  EXPECT_TRUE(rig.tool.state.RunFlag.running());
  EXPECT_EQ(rig.tool.canDispatcher.ackFlags().answered(link::CanAckFamily::ShippingModeRead), 0x01);
  EXPECT_TRUE(rig.c.enabled(BitBtnEEPBlockChoiceRead));
}

TEST_F(CanRecordRead, AnotherSessionsHandleIsLeftAlone) {
  // A session that is not a CAN run holds the adapter: the read's own open fails and sends nothing.
  ASSERT_TRUE(rig.tool.link.OpenAdapter());
  const platform::FtHandle held = rig.tool.link.AdapterHandle.load();
  rig.adapter->clearWritten();
  EXPECT_EQ(read(), QStringList{});
  EXPECT_TRUE(rig.adapter->written().empty());
  EXPECT_EQ(rig.tool.link.AdapterHandle.load(), held);
  EXPECT_FALSE(rig.c.enabled(mainwindow::ctl::Timer_300h_ON));
  EXPECT_TRUE(rig.c.enabled(BitBtnEEPBlockChoiceRead));
  rig.tool.link.CloseAdapter();
}

TEST(CanRecordWindow, ItsPagesAndTheMainWindowGivenBack) {
  test::CanRecRig rig;
  Controls& c = rig.c;
  const Control main = mainwindow::ctl::FormMain;
  for (Control tab : {eeprom::recordCtl::TabSheetRecordHeader, eeprom::recordCtl::TabSheetRecordProtection,
                      eeprom::recordCtl::TabSheetRecordLEAD, eeprom::recordCtl::TabSheetRecordLAST})
    EXPECT_FALSE(c.visible(tab)) << tab;
  EXPECT_TRUE(c.visible(eeprom::recordCtl::TabSheetRecordBasic));
  EXPECT_EQ(c.itemIndex(eeprom::recordCtl::PageControlEEPRecord), 0);
  EXPECT_EQ(c.color(eeprom::recordCtl::FormEEP_Record), 0xCEFEE5u);

  // Shown with the main window taken: closing gives it back.
  c.setEnabled(main, false);
  rig.tool.FormEEP_Record.onEvent(eeprom::recordCtl::FormEEP_Record, UiEvent::Show);
  rig.tool.FormEEP_Record.onEvent(eeprom::recordCtl::FormEEP_Record, UiEvent::Close);
  EXPECT_TRUE(c.enabled(main));
  EXPECT_TRUE(c.visible(main));
  // Shown with the main window free: closing leaves it to whoever took it meanwhile.
  rig.tool.FormEEP_Record.onEvent(eeprom::recordCtl::FormEEP_Record, UiEvent::Show);
  c.setEnabled(main, false);
  rig.tool.FormEEP_Record.onEvent(eeprom::recordCtl::FormEEP_Record, UiEvent::Close);
  EXPECT_FALSE(c.enabled(main));
}

}  // namespace
}  // namespace qv
