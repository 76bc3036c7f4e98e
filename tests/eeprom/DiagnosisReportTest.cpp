// The diagnosis report read in the whole program, without a display, over the simulated UR96 pack and fixture:
// every line of the report for packs inside and outside a capacity class and of a rated model, a pack that answers
// nothing after its record, no record at all, a UR74 pack, a STOP during a fixture read, and a second read.

#include "app/ServiceTool.h"
#include "eeprom/DiagnosisReportFormControls.h"
#include "eeprom/UnitDiagnosisReport2.h"
#include "mainwindow/CommandSets.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Time.h"
#include "sim/CompositePack.h"
#include "sim/FixtureBoard.h"
#include "sim/SimSetups.h"
#include "sim/Ur2Pack.h"
#include "sim/Ur96Pack.h"
#include "support/ProgramStart.h"
#include "support/TimeScale.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace qv {
namespace {

namespace mctl = mainwindow::ctl;
namespace r = eeprom::diagnosisReportCtl;

using Lines = std::map<Control, std::string>;

constexpr auto* rec = &sim::eventRecord;

constexpr uint8_t kChargeStop = 0x82, kDischargeStop = 0x84, kDeepSleep = 0x87;

class DiagnosisReportRoad : public ::testing::Test {
 protected:
  void start(const std::string& setup = "ur96") {
    std::unique_ptr<sim::SimDriver> driver = sim::makeSimDriver(setup);
    adapter = driver->adapters().at(0);
    if (auto composite = std::dynamic_pointer_cast<sim::CompositePack>(adapter->pack()))
      ur96 = std::dynamic_pointer_cast<sim::Ur96Pack>(composite->members().front());
    frames = test::ur2PackBehind(*adapter);
    fixture = std::make_shared<sim::FixtureBoard>();
    adapter->setFixture(fixture);
    tool = std::make_unique<app::ServiceTool>(std::move(driver));
    test::confirmConfiguration(*tool, link::kProtocolUr);
  }
  // The pack's EEPROM, barcode and history, and the fixture's measurements.
  void furnish() {
    sim::Ur2PackState s = frames->state();
    s.eeprom.present = true;
    s.eeprom.header.byteCount = 512;
    s.eeprom.header.cellType = "LGABC1234567890X";
    s.eeprom.header.eventTotals[0] = 321;
    s.eeprom.header.eventTotals[1] = 654;
    s.barcode32 = "QV2024BARCODE32-01234567X0312345";
    s.answersBarcode32Eep = true;
    // A full charge and a depletion to 3 %; then a deep sleep at 0 % and the charge seven hours after it.
    s.eeprom.lists[1] = {rec(kChargeStop, 90, {18, 3, 1, 10, 0, 0}), rec(kDischargeStop, 3, {18, 2, 1, 8, 0, 0})};
    s.eeprom.lists[2] = {rec(kDeepSleep, 0, {18, 3, 1, 22, 0, 0}), rec(kChargeStop, 50, {18, 3, 2, 5, 0, 0})};
    frames->setState(s);
    sim::FixtureState f;
    f.chargeMv = 42000;
    f.dischargeMv = 48000;
    f.socSamples = {50, 3700, 3700, 3700, 3700, 3700, 3700, 3700, 3700, 3700, 3700};
    fixture->setState(f);
  }
  void read() {
    tool->FormMain.onEvent(mctl::BitBtnPrintReportRead, UiEvent::Click);
    tool->services.workers.joinAll();
  }
  Controls& c() { return tool->services.controls; }
  // Every value label's text, empty ones included.
  Lines report() {
    Lines lines;
    for (Control label : eeprom::ReportValueLabels()) lines[label] = c().text(label).toStdString();
    return lines;
  }
  static Lines emptyReport() {
    Lines lines;
    for (Control label : eeprom::ReportValueLabels()) lines[label] = {};
    return lines;
  }
  // What every read's end gives back, whatever came of it.
  void expectButtonsBack() {
    EXPECT_TRUE(c().enabled(mctl::BitBtnPrintReportRead));
    EXPECT_TRUE(c().enabled(mctl::BitBtnPrint));
    for (Control name : mainwindow::CommandSet()) EXPECT_TRUE(c().enabled(name)) << name;
    EXPECT_EQ(tool->link.AdapterHandle.load(), 0u);
  }

  test::ScopedTimeScale fast{0.02};
  std::shared_ptr<sim::SimAdapter> adapter;
  std::shared_ptr<sim::Ur96Pack> ur96;
  std::shared_ptr<sim::Ur2Pack> frames;
  std::shared_ptr<sim::FixtureBoard> fixture;
  std::unique_ptr<app::ServiceTool> tool;
};

// The 13S2P pack of 2150 mAh cells of the UR96 set-up, its EEPROM and history as furnish() lays them out. Its
// cycle count, full-charge capacity and total charge are the capacity model's figures, as its UR page shows them.
Lines fullReport() {
  return {
      {r::Label_DateNow, "2024-05-06"},
      {r::Label_ModelName, "QV1302B96A"},
      {r::Label_RptSN, ""},
      {r::Label_CellType, "LGABC1234567890X"},
      {r::Label_CellCfg, "13S2P"},
      {r::Label_MftDate, "2018-1-20"},
      {r::Label_MFTName, "Orlenza"},
      {r::Label_DC, "4300 mAh"},
      {r::Label_MaxDsgCurrentA, ""},
      {r::Label_MaxCghCurrent, ""},
      {r::Label_PulseDsgCurrentA, ""},
      {r::Label_MaxChgVoltage, ""},
      {r::Label_PulseDsgDurationSec, ""},
      {r::Label_WarrantyCycle, "700 times (SOC>60%)"},
      {r::Label_WarrantyCapmAh, ""},
      {r::Label_Barcode, "QV2024BARCODE32-01234567X0312345"},
      {r::Label_ExpDate, "2019-7-20"},
      {r::Label_ReadOutDate, "2024-05-06"},
      {r::Label_ReadOutTime, "07:08:09"},
      {r::Label_LastChgDate, "2018-3-2 5:0"},
      {r::Label_LastChgSOC, "50 %"},
      {r::Label_CycleCnt, "42"},
      {r::Label_FCC, "4197 mAh"},
      {r::Label_PSOC, "76 %"},
      {r::Label_PackVoltage, "48100 mV"},
      {r::Label_MaxCellVolt, "3703 mV"},
      {r::Label_MinCellVolt, "3697 mV"},
      {r::Label_ChgDsgCurrentmA, "-1250 mA"},
      {r::Label_T1, "25 Deg. C"},
      {r::Label_ProtectFlag, "NONE"},
      {r::Label_CellImbalance, "6 mV"},
      {r::LabelTestChgVolt, "42000 mV"},
      {r::LabelTestChgCurrent, "-1250 mA"},
      {r::LabelTestResultChgCurrent, ""},
      {r::LabelTestDsgVolt, "48000 mV"},
      {r::LabelTestResultDsgVolt, "PASS"},
      {r::LabelTestDsgCurrent, "-1250 mA"},
      {r::LabelTestSOCVolt, "3.70 V"},
      {r::LabelTestResultSOCVolt, ""},
      {r::Label_TotalChgEvtCnt, "321"},
      {r::Label_ReportTotalCC, "181720 mA"},
      {r::Label_TotalDsgEvtCnt, "654"},
      {r::Label_FstFullChgDate, "2018-3-1 10:0"},
      {r::Label_FstDsgDepletionDate, "2018-2-1 8:0"},
      {r::Label_LastFullChgDate, "2018-3-1 10:0"},
      {r::Label_LastDsgDepletionDate, "2018-2-1 8:0"},
      {r::Label_MaxDurationLowSOC0Hours, "7 hours"},
      {r::Label_MaxChgLowSOCsinceDate, "2018-3-1 22:0"},
      {r::Label_SOC0ChgCap, "129 mAh"},
      {r::Label_ExtDsgRecAtDate, "2018-3-2 5:0"},
      {r::Label_TotalWarrantyCnt, "321 times"},
  };
}

TEST_F(DiagnosisReportRoad, AWholeReadFillsEveryLineAsThePackStateGivesIt) {
  const struct {
    const char* what;
    uint32_t designCapacity;
    QByteArray firmwareId;
    uint8_t flags;
    Lines changed;  // the lines that differ from fullReport()
  } cases[] = {
      // clang-format off
      {"cells of 2150 mAh: inside a capacity class", 4300, "QV1302B96A", 0, {}},
      {"cells of 2500 mAh: outside every class, the record's own figures",
       5000, "QV1302B96A", 0x21,
       {{r::Label_DC, "5000 mAh"}, {r::Label_FCC, "4210 mAh"}, {r::Label_ReportTotalCC, "180000 mA"},
        {r::Label_WarrantyCycle, ""},
        {r::Label_ProtectFlag, "OV,UT"}, {r::Label_SOC0ChgCap, "150 mAh"}}},
      {"a rated model", 5000, "QV1304LA", 0x02,
       {{r::Label_ModelName, "QV1304LA"}, {r::Label_DC, "5000 mAh"}, {r::Label_FCC, "4210 mAh"},
        {r::Label_ReportTotalCC, "180000 mA"},
        {r::Label_MaxDsgCurrentA, "20 A"}, {r::Label_MaxCghCurrent, "6.0 A"}, {r::Label_PulseDsgCurrentA, "35 A"},
        {r::Label_MaxChgVoltage, "42.0 V"}, {r::Label_PulseDsgDurationSec, "3 sec"},
        {r::Label_WarrantyCycle, "500 times (SOC>60% D.C)"}, {r::Label_ProtectFlag, ",UV"},
        {r::Label_SOC0ChgCap, "150 mAh"}}},
      // clang-format on
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    platform::setFixedNow(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
    start();
    furnish();
    sim::Ur96State s = ur96->state();
    s.designCapacity = k.designCapacity;
    s.firmwareId = k.firmwareId;
    s.flags = k.flags;
    ur96->setState(s);
    read();
    Lines expected = fullReport();
    for (const auto& [label, text] : k.changed) expected[label] = text;
    Lines got = report();
    // The clock runs on from the fixed start while the read waits.
    EXPECT_EQ(got[r::Label_ReadOutTime].substr(0, 6), "07:08:") << got[r::Label_ReadOutTime];
    got[r::Label_ReadOutTime] = expected[r::Label_ReadOutTime];
    for (const auto& [label, text] : expected) EXPECT_EQ(got[label], text) << label;
    EXPECT_EQ(c().panel(mctl::StatusBarView, 1), " UR96 Mode ");
    EXPECT_EQ(c().position(mctl::ProgressBarEEPRead), c().maximum(mctl::ProgressBarEEPRead)) << "every step counted";
    expectButtonsBack();
    // A second read of the same pack shows the same report.
    read();
    got = report();
    got[r::Label_ReadOutTime] = expected[r::Label_ReadOutTime];
    EXPECT_EQ(got, expected);
    platform::setFixedNow(QDateTime());
  }
}

TEST_F(DiagnosisReportRoad, APackThatAnswersNothingAfterItsRecordShowsNothingOfThePackBefore) {
  start();
  furnish();
  read();
  ASSERT_EQ(c().text(r::Label_CellType), "LGABC1234567890X");
  // The same adapter, now before a pack whose frames never come: only its record answers.
  sim::Ur2Faults silent;
  silent.silent = true;
  frames->setFaults(silent);
  read();
  const Lines got = report();
  EXPECT_EQ(got.at(r::Label_ModelName), "QV1302B96A");
  EXPECT_EQ(got.at(r::Label_PackVoltage), "48100 mV");
  const Lines cleared = {
      // clang-format off
      {r::Label_CellType, ""},           {r::Label_MaxCellVolt, "0 mV"},     {r::Label_MinCellVolt, "0 mV"},
      {r::Label_CellImbalance, "0 mV"},  {r::Label_TotalChgEvtCnt, "0 times"}, {r::Label_TotalDsgEvtCnt, "0 times"},
      {r::Label_TotalWarrantyCnt, "0 times"}, {r::Label_Barcode, ""},     {r::Label_MftDate, ""},
      {r::Label_ExpDate, ""},            {r::Label_LastChgDate, ""},       {r::Label_FstFullChgDate, ""},
      {r::Label_MaxDurationLowSOC0Hours, ""}, {r::Label_SOC0ChgCap, ""},
      // clang-format on
  };
  for (const auto& [label, text] : cleared) EXPECT_EQ(got.at(label), text) << label;
  // The fixture is not the pack: its lines are there.
  EXPECT_EQ(got.at(r::LabelTestChgVolt), "42000 mV");
  expectButtonsBack();
}

TEST_F(DiagnosisReportRoad, NoRecordOrAUr74PackLeavesTheReportEmpty) {
  const struct {
    const char* what;
    std::string setup;
    bool wrongSum;
    const char* mode;
  } cases[] = {
      // Its frames answer the UR2 probe; a UR2 pack has no mode text.
      {"a UR96 record that never passes its test", "ur96", true, ""},
      {"a UR74 pack", "ur74", false, " UR74 Mode "},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    start(k.setup);
    if (ur96) {
      furnish();
      sim::Ur96Faults faults;
      faults.wrongSum = k.wrongSum;
      ur96->setFaults(faults);
    }
    read();
    EXPECT_EQ(report(), emptyReport());
    EXPECT_EQ(c().panel(mctl::StatusBarView, 1), k.mode);
    expectButtonsBack();
    ur96.reset();
    frames.reset();
  }
}

TEST_F(DiagnosisReportRoad, AStopDuringAFixtureReadGivesTheBoxItsTextBack) {
  start();
  furnish();
  sim::FixtureFaults faults;
  faults.silent = true;
  fixture->setFaults(faults);
  c().setText(mctl::EditChgVolt, "1234");
  const test::ScopedTimeScale slower{0.2};
  tool->FormMain.onEvent(mctl::BitBtnPrintReportRead, UiEvent::Click);
  ASSERT_TRUE(test::waitFor([&] { return c().text(mctl::EditChgVolt).isEmpty(); }));
  tool->state.RunFlag.set(0);
  tool->services.workers.joinAll();
  EXPECT_EQ(c().text(mctl::EditChgVolt), "1234");
  EXPECT_EQ(c().text(r::LabelTestChgVolt), "");
  // The read ended there: what came before stays, nothing after it was read.
  EXPECT_EQ(c().text(r::Label_PSOC), "76 %");
  EXPECT_EQ(c().text(r::LabelTestChgCurrent), "");
  EXPECT_EQ(c().text(r::Label_Barcode), "");
  expectButtonsBack();
}

}  // namespace
}  // namespace qv
