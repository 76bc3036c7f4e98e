#include "mainwindow/MainFormControls.h"
#include "mainwindow/MonitorLog.h"
#include "mainwindow/Ur74Record.h"
#include "platform/ExeInfo.h"
#include "platform/Time.h"
#include "sim/Ur74Pack.h"
#include "support/BareStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

// Failures show texts, not their bytes.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qv::mainwindow {
namespace {

const QByteArray kHeader =
    "Date, Time, RTC, Barcode, Shipping Mode, PName, PVer, Pack Volt(mV), Current (mA), Cell Series, "
    "Cell Parallel, Design Capacity(mA), Full Charge Capacity(mA), Remain Capacity(mA), "
    "Total Charge Capacity(mA), Cycle Cnt, PSOH, RSOC, T1 Deg.C, T2 Deg.C, Chg/Dag, OV Flag, UV Flag, "
    "OC Flag, SC  Flag, OT Flag, UT Flag, Max VCell, Min VCell, Cell Balance, VCell1, VCell2, VCell3, "
    "VCell4, VCell5, VCell6, VCell7, VCell8, VCell9, VCell10, VCell11, VCell12, VCell13, \r\n";

const QDateTime kStamp(QDate(2018, 7, 3), QTime(14, 5, 9, 7));

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

TEST(MonitorLogLines, HeaderAndTimeStamp) {
  EXPECT_EQ(MonitorLogHeader(), kHeader);
  EXPECT_EQ(FormatLogTime(kStamp), "14:05:09.007");
  EXPECT_EQ(FormatLogTime(QDateTime(QDate(2018, 7, 3), QTime(0, 0, 0, 999))), "00:00:00.999");
  EXPECT_EQ(FormatLogTime(QDateTime(QDate(2018, 7, 3), QTime(23, 59, 59, 0))), "23:59:59.000");
}

TEST(MonitorLogLines, WhatAUr74PackShows) {
  sim::Ur74State s;
  for (int i = 0; i < 7; ++i) s.cellsMv[i] = static_cast<uint16_t>(3701 + i);
  s.firmwareId = "QV0703A12B";
  s.socHalfPercent = 100;
  s.temperature = 25;
  s.discharging = true;
  s.currentMa = 500;
  s.flags = 0x01;
  test::MainWindowStore controls;
  MainState state;
  Ur74CellCount count;
  DecodeUr74Record(sim::Ur74Pack(s).record(), controls, state, count);
  EXPECT_EQ(MonitorLogLine(kStamp, controls),
            "2018-07-03, 14:05:09.007, , ,,QV0703A12B,,25928,-500,,,5700,5700,,2850,0,100,50,25,,,1,0,0,0,0,0,"
            "3707,3701,6,3701,3702,3703,3704,3705,3706,3707,0,0,0,0,0,0,\r\n");
}

TEST(MonitorLogLines, WhatAUr96PackShowsFlagsByColourAlone) {
  test::MainWindowStore controls;
  const std::pair<Control, const char*> texts[] = {
      {ctl::EditRTC, "2018/07/03 14:05"},
      {ctl::EditBarCode32, "BC1234"},
      {ctl::CheckBoxShippingModeReadOnly, "Disable"},
      {ctl::EditFWID, "QV1302B96A"},
      {ctl::EditFWVer, "260"},
      {ctl::EditPackVolt, "48100"},
      {ctl::EditPackCurrent, "-1250"},
      {ctl::EditCellSeries, "13"},
      {ctl::EditCellParallel, "2"},
      {ctl::EditDC, "4300"},
      {ctl::EditFCC, "4197"},
      {ctl::EditRC, "3200"},
      {ctl::EditTCC, "181720"},
      {ctl::EditCycleCnt, "42"},
      {ctl::EditASOC, "97"},
      {ctl::EditRSOC, "76"},
      {ctl::EditT1, "25"},
      {ctl::EditT2, "-5"},
      {ctl::EditCurrentSign, " Discharging "},
      {ctl::Edit_HVlot, "0"},
      {ctl::Edit_LVolt, "0"},
      {ctl::Edit_VoltDiff, "0"},
  };
  for (const auto& [name, text] : texts) controls.setText(name, text);
  for (int i = 1; i <= 13; ++i) controls.setText(ctl::kCellEdits[i - 1], QString::number(3600 + i));
  for (Control flag : {ctl::EditOVF, ctl::EditUVF, ctl::EditOCF, ctl::EditSCF, ctl::EditOTF}) {
    controls.setColor(flag, colour::LightGreen);
  }
  controls.setColor(ctl::EditOCF, colour::White);
  controls.setColor(ctl::EditUTF, colour::Red);
  EXPECT_EQ(MonitorLogLine(kStamp, controls),
            "2018-07-03, 14:05:09.007, 2018/07/03 14:05, BC1234,Disable,QV1302B96A,260,48100,-1250,13,2,4300,"
            "4197,3200,181720,42,97,76,25,-5, Discharging ,0,0,0,0,0,1,0,0,0,"
            "3601,3602,3603,3604,3605,3606,3607,3608,3609,3610,3611,3612,3613,\r\n");
}

// The executable's folder is a folder of the test's own, and the clock is fixed.
class MonitorLogFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    previous_ = platform::exeInfo();
    platform::setExeInfo({folder_.path() + "/", "VELMO_ENG"});
    platform::setFixedNow(kStamp);
  }
  void TearDown() override {
    platform::setFixedNow(QDateTime());
    platform::setExeInfo(previous_);
  }
  QString logFolder() const { return folder_.path() + "/Monitor_Log"; }

  test::MainWindowStore controls_;

 private:
  QTemporaryDir folder_;
  platform::ExeInfo previous_;
};

TEST_F(MonitorLogFiles, NotEnabledCreatesNothing) {
  EXPECT_EQ(CreateMonitorLog(false, controls_), nullptr);
  WriteMonitorLogLine(nullptr, controls_);
  EXPECT_FALSE(QDir(logFolder()).exists());
}

TEST_F(MonitorLogFiles, EachRunANewFileLinesFlushedAsWritten) {
  auto first = CreateMonitorLog(true, controls_);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->path(), logFolder() + "/UR_20180703_140509_log_0.csv");
  EXPECT_EQ(readAll(first->path()), kHeader);

  controls_.setText(ctl::EditFWID, "QV13");
  WriteMonitorLogLine(first.get(), controls_);
  // Flushed: another reader sees the line while the log is still open.
  const QByteArray afterOne = readAll(first->path());
  EXPECT_TRUE(afterOne.startsWith(kHeader));
  EXPECT_TRUE(afterOne.endsWith(",\r\n"));
  EXPECT_TRUE(afterOne.contains(",QV13,"));

  // A second run in the same second gets a file of its own; the first one is kept.
  auto second = CreateMonitorLog(true, controls_);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->path(), logFolder() + "/UR_20180703_140509_log_1.csv");
  const QString firstPath = first->path();
  first.reset();
  EXPECT_EQ(readAll(firstPath), afterOne);
  EXPECT_EQ(readAll(second->path()), kHeader);
  EXPECT_EQ(controls_.panel(ctl::StatusBarView, 2), "");
}

TEST_F(MonitorLogFiles, NoFolderNoLogAndTheStatusBarSaysSo) {
  QFile blocker(logFolder());  // a file where the folder should be
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  EXPECT_EQ(CreateMonitorLog(true, controls_), nullptr);
  EXPECT_EQ(controls_.panel(ctl::StatusBarView, 2), kMonitorLogFailedText);
}

TEST_F(MonitorLogFiles, ThousandCyclesReadBackWithTheHeadersColumns) {
  const QString python = QStandardPaths::findExecutable("python3");
  if (python.isEmpty()) GTEST_SKIP() << "no python3";
  // Texts that would add, join or quote columns if written as they stand.
  controls_.setText(ctl::EditRTC, "2018/07/03,14:05");
  controls_.setText(ctl::EditBarCode32, "\"AB,CD");
  controls_.setText(ctl::EditFWID, "\"QV13\"");
  controls_.setText(ctl::EditCurrentSign, "a\r\nb");
  controls_.setText(ctl::EditT2, QString::fromLatin1("\xB0"
                                                     "C"));
  auto log = CreateMonitorLog(true, controls_);
  ASSERT_NE(log, nullptr);
  for (int cycle = 0; cycle < 1000; ++cycle) {
    controls_.setText(ctl::EditVCell1, QString::number(cycle));
    controls_.setColor(ctl::EditOVF, cycle % 2 == 0 ? colour::Red : colour::White);
    WriteMonitorLogLine(log.get(), controls_);
  }
  const QString path = log->path();
  log.reset();

  QProcess p;
  p.start(python, {"-c",
                   "import csv, sys\n"
                   "rows = list(csv.reader(open(sys.argv[1], newline='', encoding='latin-1')))\n"
                   "print(len(rows), len(rows[0]), sum(len(r) != len(rows[0]) for r in rows))\n",
                   path});
  ASSERT_TRUE(p.waitForFinished(30000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  // 1001 lines, each of 44 fields (43 and the empty one after the last separator), none different.
  EXPECT_EQ(p.readAllStandardOutput().trimmed(), "1001 44 0");

  const QList<QByteArray> lines = readAll(path).split('\n');
  ASSERT_EQ(lines.size(), 1002);
  EXPECT_TRUE(lines[1].startsWith("2018-07-03, 14:05:09."));
  EXPECT_TRUE(lines[1].contains(", 2018/07/03 14:05, 'AB CD,,'QV13',"));
  EXPECT_TRUE(lines[1].contains(",a  b,1,"));
  // clang-format off
  EXPECT_TRUE(lines[1].contains(",\xB0" "C,"));
  // clang-format on
}

}  // namespace
}  // namespace qv::mainwindow
