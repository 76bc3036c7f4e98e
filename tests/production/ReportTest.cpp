// The end of a Function Test run and its report file: the closing command, the verdict, the counters, the
// summary, and the file under Test_Report read back byte for byte; a run cut short, a barcode that is a path, a
// Test_Report that cannot be made, two reports of one name, more failures than the record keeps.

#include "FunctionTestRig.h"

#include "platform/Text.h"
#include "production/FunctionTestReport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringDecoder>

namespace qv {
namespace {

using test::EvtIni;
using test::FunctionTestRig;
namespace fctl = mainwindow::ctl;

const QString kSep(59, QLatin1Char('-'));

// The reports in the work-number folder, by name.
QStringList reportsIn(FunctionTestRig& rig, const QString& workNumber) {
  return QDir(rig.reports.path() + "/Test_Report/" + workNumber).entryList(QDir::Files, QDir::Name);
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(FunctionTestEnd, PassingRunAndItsReport) {
  FunctionTestRig rig;
  EvtIni ini;
  ini.afterEnd = 0;
  rig.writeIni(ini);
  rig.run();

  const QStringList memo = rig.memo();
  const QStringList end = rig.memoFrom("3.  Last CMD", 21);
  ASSERT_EQ(end.size(), 21);
  const QStringList expected = {"3.  Last CMD : none.",
                                " ",
                                kSep,
                                "Total Test Failed Report  :  ",
                                "Test items no any failed.",
                                " ",
                                kSep,
                                QStringLiteral("自動檢測次數  :  第  1 次"),
                                QStringLiteral("檢測PASS次數  :  第  1 次"),
                                QStringLiteral("檢測-NG-次數  :  第  0 次"),
                                " ",
                                kSep,
                                QStringLiteral("重複檢測次數  :  共  0  次"),
                                end[13],
                                QStringLiteral("產品工號名稱  :  WN-01"),
                                QStringLiteral("產品條碼名稱  :  BC-0001"),
                                QStringLiteral("測試專案名稱  :  ") + rig.controls().text(fctl::Edit_ModelName),
                                QStringLiteral("測試韌體版本  :  ") + rig.controls().text(fctl::Edit_FWVer),
                                QStringLiteral("測試項目總數  :  3 項"),
                                QStringLiteral("測試失敗總數  :  0 項"),
                                QStringLiteral("測試結果報告  :  PASS")};
  EXPECT_EQ(end, expected);
  EXPECT_TRUE(end[13].startsWith(QStringLiteral("停止測試時間  :  "))) << end[13].toStdString();
  EXPECT_EQ(end[13].size(), QStringLiteral("停止測試時間  :  yyyy.mm.dd , hh:nn:ss").size());
  EXPECT_EQ(memo.last(), end.last()) << "the summary ends the memo";

  EXPECT_EQ(rig.controls().text(fctl::PanelTestResult), "PASS");
  EXPECT_EQ(rig.controls().fontColor(fctl::PanelTestResult), colour::Blue);
  EXPECT_EQ(rig.controls().panel(fctl::StatusBarView, 0), "  SYS : < STOP >");
  EXPECT_TRUE(rig.controls().text(fctl::Edit_EVTBarcode).isEmpty()) << "ready for the next pack";
  EXPECT_EQ(rig.controls().text(fctl::EditEVTWorkNumber), "WN-01");

  const QStringList files = reportsIn(rig, "WN-01");
  ASSERT_EQ(files.size(), 1);
  EXPECT_TRUE(QRegularExpression("^BC-0001_\\d{8}_\\d{6}_PASS\\.txt$").match(files[0]).hasMatch())
      << files[0].toStdString();
  const QString path = rig.reports.path() + "/Test_Report/WN-01/" + files[0];
  const QByteArray bytes = readFile(path);
  QByteArray expectedBytes;
  for (const QString& line : memo) expectedBytes += platform::big5Bytes(line) + "\r\n";
  EXPECT_EQ(bytes, expectedBytes);
  EXPECT_TRUE(bytes.contains(QByteArray::fromHex("a6 db b0 ca c0 cb b4 fa a6 b8 bc c6").replace(' ', "")))
      << "自動檢測次數 in Big5";
  // Another reader of Big5 gives the memo back.
  QStringDecoder big5("Big5");
  EXPECT_EQ(QString(big5.decode(bytes)), memo.join("\r\n") + "\r\n");
  const QString iconv = QStandardPaths::findExecutable("iconv");
  if (!iconv.isEmpty()) {
    QProcess p;
    p.start(iconv, {"-f", "BIG5", "-t", "UTF-8", path});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()), memo.join("\r\n") + "\r\n");
  }
}

// Texts in Big5 from the pack (barcode, model name), from EVT.ini (the expected model) and from the operator read
// the same characters on screen, in the memo and in the report file, whose bytes are the ones the pack sent.
TEST(FunctionTestEnd, ChineseTextsReadTheSameOnScreenInTheMemoAndInTheFile) {
  const QString barcode = QStringLiteral("條碼123");
  const QString model = QStringLiteral("電池組A");
  const QByteArray barcodeBytes = QByteArray::fromHex("b1f8bd58") + "123";
  const QByteArray modelBytes = QByteArray::fromHex("b971a6c0b2d5") + "A";
  FunctionTestRig rig;
  EvtIni ini;
  ini.repeat = 1;
  ini.barcodeMode = 2;
  ini.check = "ProjectName=" + modelBytes + "\r\n";
  rig.writeIni(ini);
  sim::CanPackState s = rig.pack->state();
  s.barcode32 = barcodeBytes + QByteArray(32 - barcodeBytes.size(), '\0');
  s.modelName = modelBytes + QByteArray(16 - modelBytes.size(), '\0');
  rig.pack->setState(s);
  rig.controls().setText(fctl::Edit_EVTBarcode, barcode);
  rig.run();

  EXPECT_EQ(rig.controls().text(fctl::Edit_Barcode32_RW), barcode);
  EXPECT_EQ(rig.controls().text(fctl::Edit_ModelName), model);
  const QStringList memo = rig.memo();
  for (const QString& line :
       {"3.  Barcode  :  " + barcode + "  Test  :  ", "  [ " + barcode + " ]  ........  PASS",
        "4.  Project Name  :  " + model + "  Test  :  ", "  [ " + model + " ]  ........  PASS",
        QStringLiteral("產品條碼名稱  :  ") + barcode, QStringLiteral("測試專案名稱  :  ") + model})
    EXPECT_TRUE(memo.contains(line)) << line.toStdString();
  EXPECT_FALSE(rig.failLines().join('\n').contains("Barcode")) << rig.failLines().join('\n').toStdString();
  EXPECT_FALSE(rig.failLines().join('\n').contains("Project"));

  const QStringList files = reportsIn(rig, "WN-01");
  ASSERT_EQ(files.size(), 1);
  EXPECT_TRUE(files[0].startsWith(barcode + "_")) << files[0].toStdString();
  const QByteArray bytes = readFile(rig.reports.path() + "/Test_Report/WN-01/" + files[0]);
  EXPECT_TRUE(bytes.contains("  [ " + barcodeBytes + " ]  ........  PASS\r\n"));
  EXPECT_TRUE(bytes.contains("  [ " + modelBytes + " ]  ........  PASS\r\n"));
  QStringDecoder big5("Big5");
  EXPECT_EQ(QString(big5.decode(bytes)), memo.join("\r\n") + "\r\n") << "a Big5 reader sees the memo";
}

TEST(FunctionTestEnd, FailingRunListsItsFailuresInOrder) {
  FunctionTestRig rig;
  EvtIni ini;
  ini.tcc = ini.iep = ini.eep = 1;
  ini.afterEnd = 1;
  rig.writeIni(ini);
  sim::CanPackFaults refuse;
  for (uint16_t id : {0x4101, 0x4102, 0x4103}) refuse.refused.push_back({id, 0, -1, 0x01});
  rig.pack->setFaults(refuse);
  rig.adapter->clearWritten();
  rig.run();
  EXPECT_EQ(rig.memoFrom("Total Test Failed Report", 4),
            (QStringList{"Total Test Failed Report  :  ", "3.    [ Erase MCU Total Charge Capacity ]  ........  NG",
                         "4.    [ Erase MCU Internal EEPROM ]  ........  NG", "5.    [ EEPROM Erase ]  ........  NG"}));
  EXPECT_TRUE(rig.memo().contains(QStringLiteral("測試失敗總數  :  3 項")));
  EXPECT_TRUE(rig.memo().contains(QStringLiteral("測試項目總數  :  6 項")));
  EXPECT_TRUE(rig.memo().contains("6.  Last CMD : Do Sleep Command."));
  EXPECT_EQ(rig.controls().text(fctl::PanelTestResult), "FAIL");
  EXPECT_EQ(rig.controls().fontColor(fctl::PanelTestResult), colour::Red);
  const QStringList files = reportsIn(rig, "WN-01");
  ASSERT_EQ(files.size(), 1);
  EXPECT_TRUE(files[0].endsWith("_FAIL.txt"));
}

TEST(FunctionTestEnd, ClosingCommands) {
  const struct {
    const char* name;
    int afterEnd;
    bool unplug;        // the adapter cannot be opened
    bool stop;          // STOP before the end
    QStringList lines;  // the last lines before the summary
    bool sent;          // the closing request went to the pack
    const char* verdict;
  } cases[] = {
      // clang-format off
      {"sleep after a failed open", 1, true, false, {"", "2.  Last CMD : Do Sleep Command."}, false, "FAIL"},
      {"deep sleep after all repetitions", 2, false, false, {" ", "4.  Last CMD : Do Deep Sleep Command."}, true, "PASS"},
      {"deep sleep after STOP", 2, false, true, {QStringLiteral("自動檢測共  0  次"), " "}, false, "FAIL"},
      {"none after STOP", 0, false, true, {QStringLiteral("自動檢測共  0  次"), "5.  Last CMD : none."}, false, "FAIL"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FunctionTestRig rig;
    EvtIni ini;
    ini.afterEnd = c.afterEnd;
    ini.sleep = c.stop ? 1 : 0;
    rig.writeIni(ini);
    if (c.unplug) rig.adapter->unplug();
    if (c.stop) {
      rig.op.holdWhenEmpty(true);
      rig.click();
      ASSERT_TRUE(test::waitFor([&] { return rig.op.asked() == 1; }));
      rig.click();
      rig.op.script({true, true});
      ASSERT_TRUE(test::waitFor([&] { return !rig.tool->functionTest.active(); }));
      rig.tool->services.workers.joinAll();
    } else {
      rig.run();
    }
    const QStringList memo = rig.memo();
    const qsizetype summary = memo.indexOf("Total Test Failed Report  :  ");
    ASSERT_GE(summary, 4);
    EXPECT_EQ(memo.mid(summary - 2, 2), (QStringList{" ", kSep}));
    EXPECT_EQ(memo.mid(summary - 2 - c.lines.size(), c.lines.size()), c.lines);
    EXPECT_EQ(rig.deepSleeps.load() > 0, c.afterEnd == 2 && c.sent);
    EXPECT_EQ(rig.controls().text(fctl::PanelTestResult), c.verdict);
  }
}

TEST(FunctionTestEnd, CountersOverSeveralRuns) {
  FunctionTestRig rig;
  EvtIni ini;
  rig.writeIni(ini);
  for (bool pass : {true, false, true}) {
    rig.controls().setText(fctl::Edit_EVTBarcode, pass ? QStringLiteral("BC-0001") : QString());
    rig.run();
  }
  EXPECT_TRUE(rig.memo().contains(QStringLiteral("自動檢測次數  :  第  3 次")));
  EXPECT_TRUE(rig.memo().contains(QStringLiteral("檢測PASS次數  :  第  2 次")));
  EXPECT_TRUE(rig.memo().contains(QStringLiteral("檢測-NG-次數  :  第  1 次")));
  // The run with an empty barcode reported as "NULL".
  bool nullReport = false;
  for (const QString& f : reportsIn(rig, "WN-01")) nullReport = nullReport || f.startsWith("NULL_");
  EXPECT_TRUE(nullReport);
}

TEST(FunctionTestEnd, NamesFromTheOperatorAreMadeSafe) {
  const struct {
    QString typed, name;
  } cases[] = {
      {"../x/y", "___x_y"},
      {".hidden", "_hidden"},
      {"v1..2.", "v1..2."},
      {"a\\b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i"},
      {QString("tab\there") + QChar(0x7F), "tab_here_"},
      {"", "NULL"},
      {"   ", "NULL"},
      {"..", "NULL"},
      {" . ", "NULL"},
      {QStringLiteral("工單-7"), QStringLiteral("工單-7")},
      {QString(QChar(0xD800)) + "x", "_x"},
  };
  for (const auto& c : cases) EXPECT_EQ(production::SafeReportName(c.typed), c.name) << c.typed.toStdString();

  // A barcode that is a path stays inside its work-number folder.
  FunctionTestRig rig;
  rig.writeIni(EvtIni{});
  rig.controls().setText(fctl::EditEVTWorkNumber, QStringLiteral("../../WN"));
  rig.controls().setText(fctl::Edit_EVTBarcode, QStringLiteral("../x/y"));
  rig.run();
  const QStringList files = reportsIn(rig, "___.._WN");
  ASSERT_EQ(files.size(), 1);
  EXPECT_TRUE(files[0].startsWith("___x_y_")) << files[0].toStdString();
  EXPECT_EQ(QDir(rig.reports.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"Test_Report"});
}

TEST(FunctionTestEnd, AReportThatCannotBeWrittenIsSaid) {
  FunctionTestRig rig;
  rig.writeIni(EvtIni{});
  // A file where the folder should be.
  QFile block(rig.reports.path() + "/Test_Report");
  ASSERT_TRUE(block.open(QIODevice::WriteOnly));
  block.close();
  rig.run();
  const QString said = rig.controls().panel(fctl::StatusBarView, 2);
  EXPECT_TRUE(said.startsWith("  Test report cannot be written : ")) << said.toStdString();
  EXPECT_EQ(rig.memo().last(), said);
  EXPECT_EQ(rig.controls().text(fctl::PanelTestResult), "PASS") << "the verdict stands";
  EXPECT_EQ(rig.tool->state.records.EVT_TEST_SET.snapshot().PassCount, 1);
}

TEST(FunctionTestEnd, AReportNeverReplacesAnEarlierOne) {
  QTemporaryDir dir;
  const QDateTime when(QDate(2024, 5, 7), QTime(9, 5, 3));
  QStringList names;
  for (const char* text : {"first", "second", "third"}) {
    const production::ReportWritten w =
        production::WriteTestReport(dir.path() + "/", "WN", "BC", when, "PASS", QStringList{QString::fromLatin1(text)});
    ASSERT_TRUE(w.ok);
    names << QFileInfo(w.path).fileName();
    EXPECT_EQ(readFile(w.path), QByteArray(text) + "\r\n");
  }
  EXPECT_EQ(names, (QStringList{"BC_20240507_090503_PASS.txt", "BC_20240507_090503_PASS_2.txt",
                                "BC_20240507_090503_PASS_3.txt"}));
  EXPECT_EQ(QDir(dir.path() + "/Test_Report/WN").entryList(QDir::Files | QDir::Hidden).size(), 3) << "no part left";
  // A name stays as short as the edit it comes from.
  EXPECT_EQ(production::ReportStem(QString(40, 'A'), when, "FAIL"), QString(32, 'A') + "_20240507_090503_FAIL");
}

TEST(FunctionTestEnd, AtMostTheStoredFailureLinesArePrinted) {
  FunctionTestRig rig(0.004);
  EvtIni ini;
  ini.repeat = 20;
  rig.writeIni(ini);
  sim::CanPackFaults silent;
  silent.silent = true;
  rig.pack->setFaults(silent);
  rig.run();
  const mainwindow::EvtTest e = rig.tool->state.records.EVT_TEST.snapshot();
  ASSERT_GT(e.FailCount, 255);
  const QStringList memo = rig.memo();
  const qsizetype first = memo.indexOf("Total Test Failed Report  :  ") + 1;
  EXPECT_EQ(memo[first + 254], e.FailLines[255]);
  EXPECT_EQ(memo[first + 255], QStringLiteral("... %1 more failed items not listed.").arg(e.FailCount - 255));
  EXPECT_EQ(memo[first + 256], " ");
  EXPECT_TRUE(memo.contains(QStringLiteral("測試失敗總數  :  %1 項").arg(e.FailCount)));
}

}  // namespace
}  // namespace qv
