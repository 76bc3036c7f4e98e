// The EEPROM window in the whole program, without a display, over the simulated UR2 pack: the header read and
// its 44 lines, a silent pack, a pack with no header, a partly answering pack, a late answer, a close during
// the read, a worker that cannot start; the three record pages read whole, by "Last 10 " and by range, the
// preview, missing parts, a read stopped by closing the window; the save's four files and the protect log.

#include "app/ServiceTool.h"
#include "eeprom/EEPROMFormControls.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/CommandSets.h"
#include "mainwindow/MainFormControls.h"
#include "platform/ExeInfo.h"
#include "platform/Time.h"
#include "sim/SimSetups.h"
#include "sim/Ur2Pack.h"
#include "support/ProgramStart.h"
#include "support/TimeScale.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>

namespace qv {
namespace {

namespace ectl = eeprom::eepromCtl;
namespace mctl = mainwindow::ctl;

// The pack behind, which can hold a request (ID and index, or a record's part) until the test lets it go.
class GatePack : public sim::SerialPack {
 public:
  explicit GatePack(std::shared_ptr<sim::SerialPack> inner) : inner_(std::move(inner)) {}
  // Holds the first request whose pack frame bytes 3 to 9 (ID, index, value) equal these.
  void holdAt(QByteArray idIndexValue) {
    std::lock_guard lock(mutex_);
    hold_ = std::move(idIndexValue);
    reached_ = false;
  }
  void waitReached() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return reached_; });
  }
  void release() {
    std::lock_guard lock(mutex_);
    hold_.clear();
    cv_.notify_all();
  }
  // Answers each request for `asked` as if `answered` had been asked.
  void answerAs(uint16_t asked, uint16_t answered) {
    std::lock_guard lock(mutex_);
    swaps_[asked] = answered;
  }
  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override {
    QByteArray f = payload;
    {
      std::unique_lock lock(mutex_);
      if (!hold_.isEmpty() && f.size() == 13 && f.mid(3, 7) == hold_) {
        reached_ = true;
        cv_.notify_all();
        cv_.wait(lock, [&] { return hold_.isEmpty(); });
      }
      if (f.size() == 13) {
        const auto id = static_cast<uint16_t>(static_cast<uint8_t>(f[3]) << 8 | static_cast<uint8_t>(f[4]));
        if (auto it = swaps_.find(id); it != swaps_.end()) {
          f[3] = static_cast<char>(it->second >> 8);
          f[4] = static_cast<char>(it->second);
          uint8_t x = 0;
          for (int i = 0; i < 11; ++i) x ^= static_cast<uint8_t>(f[i]);
          f[11] = static_cast<char>(x);
        }
      }
    }
    return inner_->answer(f, expected);
  }

 private:
  std::shared_ptr<sim::SerialPack> inner_;
  std::mutex mutex_;
  std::condition_variable cv_;
  QByteArray hold_;
  bool reached_ = false;
  std::map<uint16_t, uint16_t> swaps_;
};

// ID, index and 24-bit value as a request's bytes 3 to 9 carry them.
QByteArray request(uint16_t id, uint16_t index, uint32_t value = 0) {
  QByteArray b(7, '\0');
  b[0] = static_cast<char>(id >> 8);
  b[1] = static_cast<char>(id);
  b[2] = static_cast<char>(index >> 8);
  b[3] = static_cast<char>(index);
  b[4] = static_cast<char>(value >> 16);
  b[5] = static_cast<char>(value >> 8);
  b[6] = static_cast<char>(value);
  return b;
}

sim::SimEepHeader fullHeader() {
  sim::SimEepHeader h;
  h.byteCount = 256;
  h.id = "XYZ";
  h.idDigit = 2;
  h.currentUnit = 10;
  h.voltageUnit = 1;
  h.voltDiffUnit = 1;
  h.maxVoltDiff = 120;
  h.warrantyCycles = 500;
  h.warrantyPercent = 80;
  h.warrantyMonths = 36;
  h.cellType = "INR18650-35E";
  h.cycleCount = 57;
  h.totalCharge = 123456;
  h.eventTotals = {65535, 12, 3, 4, 5, 6, 7, 8, 9};
  h.flagCounts = {{{1, 30500}, {2, -25000}, {3, 55}, {4, 60}, {5, -10}, {6, 4250}, {7, 2500}, {8, 0}}};
  return h;
}

// The Header page for fullHeader(), line by line.
const QStringList kFullHeaderLines = {
    "1. EEPROM Header Block : Unit Section ",
    "Header's total number of bytes :   256",
    "ID :   XYZ2",
    "Pack Current Unit :   10   mA",
    "Pack Volat Unit :   1   mV",
    "Voltage Diff Unit : 1   mV",
    "\n\r",
    "2. EEPROM Header Block : Battery Information Section",
    "Max Volt Diff :   120   mV",
    "Warranty Cycle :   500   times",
    "Warranty Design Capacity percentage:   80   %",
    "Warranty Months :   36   ",
    "Cell type 16 Bytes :   INR18650-35E   ",
    "Cycle Count :   57   times",
    "Total Charge Capacity :   123456   mAh",
    "Barcode32 :   QV2024BARCODE32-0123456789ABCDEF   ",
    "\n\r",
    "3. EEPROM Header Block : Event Information Section",
    "Charge Start Total :   65535   times",
    "Discharge Start Total :   12   times",
    "Sleep Total :   3   times",
    "Deep Sleep Total :   5 times",
    "Wake Up Total :   4 times",
    "Reset Total :   6   times",
    "Protecol Release Total :   7   times",
    "FSC Total :   8   times",
    "Storage Temperature total:   9   times",
    "\n\r",
    "4. EEPROM Header Block : Flag Count Sectiion ",
    "COC Total :   1   times",
    "Max Charge Current :   30500   mA",
    "DOC Total :   2   times",
    "Max Discharge Current :   -25000   mA",
    "COT Total :   3   times",
    "Max Charge Temperature :   55   Deg. C",
    "DOT Total :   4   times",
    "Max Discharge Temperature :   60   Deg. C",
    "CUT Total :   5   times",
    "Min Temperature :   -10   Deg. C",
    "OV Total :   6   times",
    "Max Cell Voltage :   4250   mV",
    "UV Total :   7   times",
    "Min Cell Voltage :   2500   mV",
    "SC Total :   8   times",
};

// Record n of a list: its stamp, voltage and cycle count carry n, so every line tells which record it shows.
sim::SimEepRecord record(int n, uint8_t flag) {
  sim::SimEepRecord r;
  r.stamp = {18, 7, 3, 14, 5, static_cast<uint8_t>(n % 60)};
  r.currentMa = -30500;
  r.voltageMv = 40000u + static_cast<uint32_t>(n);
  r.soc = 35;
  r.t1 = 31;
  r.voltDiffMv = 12;
  r.cycles = static_cast<uint16_t>(n);
  r.flag = flag;
  return r;
}
std::vector<sim::SimEepRecord> records(int count, uint8_t flag) {
  std::vector<sim::SimEepRecord> out;
  for (int n = 1; n <= count; ++n) out.push_back(record(n, flag));
  return out;
}
// Its line, as the page shows it.
QString number4(int n) { return QString::number(n).rightJustified(4, '0'); }
QString protectLine(int n) {
  return number4(n) + " , Date : 2018.7.3 , Time : 14.5." + QString::number(n % 60) +
         " , Protect , Discharge , OC , SOC  : 35 % , Voltage  : " + QString::number(40000 + n) +
         " mV , Current  : -30500 mA , T1  : 31 Deg.C , VoltDiff  : 12 mV , Cycle Cnt  : " + QString::number(n) +
         "  , ";
}
QString eventLine(int n) {
  return number4(n) + " , Date : 2018.7.3 , Time : 14.5." + QString::number(n % 60) +
         " , Event , Charge Start , SOC  : 35 % , Voltage  : " + QString::number(40000 + n) +
         " mV , Current  : -30500 mA , T1  : 31 Deg.C , VoltDiff  : 12 mV , Cycle Cnt  : " + QString::number(n) +
         "  , ";
}

// Line by line, so that a difference names its line.
void expectLines(const QStringList& got, const QStringList& want) {
  EXPECT_EQ(got.size(), want.size());
  for (qsizetype i = 0; i < std::min(got.size(), want.size()); ++i)
    EXPECT_EQ(got[i].toStdString(), want[i].toStdString()) << "line " << i + 1;
}

class EepromRoad : public ::testing::Test {
 protected:
  EepromRoad() {
    std::unique_ptr<sim::SimDriver> driver = sim::makeSimDriver("ur2");
    adapter = driver->adapters().at(0);
    pack = test::ur2PackBehind(*adapter);
    setPack([](sim::Ur2PackState& s) { s.eeprom.present = true; });
    gate = std::make_shared<GatePack>(adapter->pack());
    adapter->setPack(gate);
    tool = std::make_unique<app::ServiceTool>(std::move(driver));
    test::confirmConfiguration(*tool, link::kProtocolUr);
    platform::setExeInfo({folder.path() + "/", "VELMO_ENG"});
    // The main window's EEPROM button shows the window.
    tool->FormMain.onEvent(mctl::BitBtnSafeInfoRead, UiEvent::Click);
    eep().onEvent(ectl::FormEEPROM, UiEvent::Show);
    adapter->clearWritten();
  }
  ~EepromRoad() override {
    tool.reset();
    platform::setExeInfo(previousExe);
    platform::setFixedNow(QDateTime());
  }

  Controls& c() { return tool->services.controls; }
  eeprom::TFormEEPROM& eep() { return tool->FormEEPROM; }
  void setPack(const std::function<void(sim::Ur2PackState&)>& change) {
    sim::Ur2PackState s = pack->state();
    change(s);
    pack->setState(s);
  }
  void page(int index) {
    c().setItemIndex(ectl::PageControlEEP, index);
    eep().onEvent(ectl::PageControlEEP, UiEvent::Change);
  }
  void click(Control control) { eep().onEvent(control, UiEvent::Click); }
  void run(Control control) {
    click(control);
    tool->services.workers.joinAll();
  }
  QStringList lines(Control memo) { return c().items(memo); }
  // The requests written, by ID.
  int requestsOf(uint16_t id) const {
    int n = 0;
    for (const QByteArray& f : adapter->written()) {
      n += f.size() == 23 && static_cast<uint8_t>(f[11]) == id >> 8 && static_cast<uint8_t>(f[12]) == (id & 0xFF);
    }
    return n;
  }
  void expectCommandSetBackButPdf() {
    for (Control name : mainwindow::CommandSet()) {
      if (name == ectl::BitBtnEEPRange) continue;  // by the range lists, see the range tests
      EXPECT_EQ(c().enabled(name), name != mctl::BitBtnPrint) << name;
    }
  }

  test::ScopedTimeScale fast{0.02};
  QTemporaryDir folder;
  platform::ExeInfo previousExe = platform::exeInfo();
  std::shared_ptr<sim::SimAdapter> adapter;
  std::shared_ptr<sim::Ur2Pack> pack;
  std::shared_ptr<GatePack> gate;
  std::unique_ptr<app::ServiceTool> tool;
};

TEST_F(EepromRoad, AWholeHeaderReadShowsTheFortyFourLines) {
  setPack([](sim::Ur2PackState& s) {
    s.eeprom.header = fullHeader();
    s.answersBarcode32Eep = true;
  });
  EXPECT_FALSE(c().enabled(ectl::BitBtnEEPSave));
  run(ectl::BitBtnEEPBlockChoiceRead);
  expectLines(lines(ectl::MemoEEPHeader), kFullHeaderLines);
  EXPECT_EQ(requestsOf(0x6100), 1);
  EXPECT_EQ(requestsOf(0x6207), 4);
  EXPECT_EQ(requestsOf(0x6407), 1);
  EXPECT_TRUE(c().enabled(ectl::BitBtnEEPSave));
  EXPECT_FALSE(eep().reading());
  expectCommandSetBackButPdf();
  // The report record took the cell type and the two event totals on the way.
  const mainwindow::ReportRecord report = tool->state.report.snapshot();
  EXPECT_EQ(mainwindow::evtText(report.cellType), "INR18650-35E");
  EXPECT_EQ(report.chargeEventTotal, 65535);
  EXPECT_EQ(report.dischargeEventTotal, 12);

  // Reading another page zeroes the header record, the barcode field included.
  page(1);
  run(ectl::BitBtnEEPBlockChoiceRead);
  EXPECT_EQ(tool->state.records.CanBarcodeBuffer.snapshot(), mainwindow::BarcodeField{});
  EXPECT_EQ(eep().records().header().header.byteCount, 0u);
}

TEST_F(EepromRoad, ASilentPackANoHeaderPackAndALateAnswerAskNoItem) {
  const struct {
    const char* what;
    std::function<void()> arrange;
    int sizeRequests;
    QString line;
  } cases[] = {
      {"silent", [&] { pack->setFaults({.silent = true}); }, 10, "Total Bytes :   Time out "},
      {"refused", [&] { pack->setFaults({.status = 2, .refused = 0x6100}); }, 10, "Total Bytes :   Time out "},
      {"size 0", [&] { setPack([](sim::Ur2PackState& s) { s.eeprom.header.byteCount = 0; }); }, 1, "Total Bytes :   0"},
      // The pack answers the size request with the charge-start total: neither taken for the size nor stored,
      // as nobody asked for it.
      {"another item's answer",
       [&] {
         setPack([](sim::Ur2PackState& s) { s.eeprom.header = fullHeader(); });
         gate->answerAs(0x6100, 0x6300);
       },
       10, "Total Bytes :   Time out "},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    pack->setFaults({});
    k.arrange();
    adapter->clearWritten();
    run(ectl::BitBtnEEPBlockChoiceRead);
    expectLines(lines(ectl::MemoEEPHeader), QStringList{k.line});
    EXPECT_EQ(requestsOf(0x6100), k.sizeRequests);
    EXPECT_EQ(requestsOf(0x6101), 0);
    // Save is on: a page holds text, even though the read timed out.
    EXPECT_TRUE(c().enabled(ectl::BitBtnEEPSave));
    expectCommandSetBackButPdf();
  }
  EXPECT_EQ(eep().records().header().header.chargeStartTotal, 0);
}

TEST_F(EepromRoad, APartlyAnsweringPackShowsZerosAndShortTextsWhereItemsDidNotAnswer) {
  setPack([](sim::Ur2PackState& s) {
    s.eeprom.header = fullHeader();
    s.answersBarcode32Eep = true;
    s.eeprom.silentItems = {{0x6202, 0}, {0x6204, 2}, {0x6207, 3}, {0x6406, 0}};
  });
  run(ectl::BitBtnEEPBlockChoiceRead);
  QStringList expected = kFullHeaderLines;
  expected[10] = "Warranty Design Capacity percentage:   0   %";
  expected[12] = "Cell type 16 Bytes :   INR18650   ";
  expected[15] = "Barcode32 :   QV2024BARCODE32-   ";  // the text ends where the missing part's zeros begin
  expected[41] = "UV Total :   0   times";
  expected[42] = "Min Cell Voltage :   0   mV";
  expectLines(lines(ectl::MemoEEPHeader), expected);
}

TEST_F(EepromRoad, TheWindowStaysOpenWhileItsReadRuns) {
  setPack([](sim::Ur2PackState& s) { s.eeprom.header = fullHeader(); });
  gate->holdAt(request(0x6300, 0));
  click(ectl::BitBtnEEPBlockChoiceRead);
  gate->waitReached();
  EXPECT_FALSE(c().enabled(ectl::FormEEPROM));
  EXPECT_FALSE(c().enabled(mctl::SpdBtnRUN));
  c().setVisible(ectl::FormEEPROM, false);  // as the window's close box does
  eep().onEvent(ectl::FormEEPROM, UiEvent::Close);
  EXPECT_TRUE(c().visible(ectl::FormEEPROM));
  EXPECT_FALSE(c().enabled(mctl::FormMain));
  gate->release();
  tool->services.workers.joinAll();
  EXPECT_EQ(lines(ectl::MemoEEPHeader).size(), 44);  // the header read is short: it runs to its end

  c().setVisible(ectl::FormEEPROM, false);
  eep().onEvent(ectl::FormEEPROM, UiEvent::Close);
  EXPECT_TRUE(c().enabled(mctl::FormMain));
  EXPECT_TRUE(c().visible(mctl::FormMain));
}

TEST_F(EepromRoad, AReadThatCannotStartGivesBackEveryControlItsStarterTook) {
  eeprom::TFormEEPROM refused(tool->services, tool->link, tool->state, [](std::string, std::function<void()>) {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  });
  std::map<Control, bool> before;
  for (Control name : mainwindow::CommandSet()) before[name] = c().enabled(name);
  ASSERT_TRUE(before[mctl::SpdBtnRUN] && before[mctl::SpdBtnConfigure] && before[mctl::SpdBtnExit]);
  for (int p : {0, 1}) {
    page(p);
    refused.onEvent(ectl::BitBtnEEPBlockChoiceRead, UiEvent::Click);
    refused.onEvent(ectl::BitBtnEEPPreView, UiEvent::Click);
    for (Control name : mainwindow::CommandSet()) EXPECT_EQ(c().enabled(name), before[name]) << name;
    EXPECT_FALSE(refused.reading());
  }
  EXPECT_TRUE(adapter->written().empty());
}

TEST_F(EepromRoad, EachPageReadWholeAndByLastTen) {
  setPack([](sim::Ur2PackState& s) {
    s.eeprom.lists[0] = records(3, 0x44);
    s.eeprom.lists[1] = records(25, 0x81);
    s.eeprom.lists[2] = records(10, 0x81);
  });
  // "Last 10 " is ticked at design: 25 LEAD records read 16 to 25, 10 LAST records 1 to 10.
  const struct {
    int page;
    Control memo;
    bool last10;
    int first, last;
    QString (*line)(int);
  } cases[] = {
      {1, ectl::MemoEEPProtect, true, 1, 3, protectLine},
      {2, ectl::MemoEEPNormalLEAD, true, 16, 25, eventLine},
      {2, ectl::MemoEEPNormalLEAD, false, 1, 25, eventLine},
      {3, ectl::MemoEEPNormalLAST, true, 1, 10, eventLine},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.page * 100 + k.first);
    page(k.page);
    EXPECT_TRUE(c().visible(ectl::CheckBoxEEPReadLast10));
    c().setChecked(ectl::CheckBoxEEPReadLast10, k.last10);
    c().setItems(k.memo, {});
    run(ectl::BitBtnEEPBlockChoiceRead);
    QStringList expected{"Total Package Number :   " + QString::number(k.page == 1 ? 3 : k.page == 2 ? 25 : 10)};
    for (int n = k.first; n <= k.last; ++n) expected << k.line(n);
    expectLines(lines(k.memo), expected);
    expectCommandSetBackButPdf();
  }
  // The protection page is replaced by each read; the LEAD page keeps adding.
  page(1);
  run(ectl::BitBtnEEPBlockChoiceRead);
  EXPECT_EQ(lines(ectl::MemoEEPProtect).size(), 4);
  page(2);
  c().setChecked(ectl::CheckBoxEEPReadLast10, true);
  const qsizetype before = lines(ectl::MemoEEPNormalLEAD).size();
  run(ectl::BitBtnEEPBlockChoiceRead);
  EXPECT_EQ(lines(ectl::MemoEEPNormalLEAD).size(), before + 11);
  // Clean clears the LEAD page; on the Protection page it changes nothing.
  click(ectl::BitBtnClean);
  EXPECT_TRUE(lines(ectl::MemoEEPNormalLEAD).isEmpty());
  page(1);
  click(ectl::BitBtnClean);
  EXPECT_EQ(lines(ectl::MemoEEPProtect).size(), 4);
}

TEST_F(EepromRoad, ACountThatDoesNotComeReadsNoRecordAndMakesNoLog) {
  setPack([](sim::Ur2PackState& s) { s.eeprom.lists[0] = records(3, 0x44); });
  const struct {
    const char* what;
    std::function<void()> arrange;
    QString line;
  } cases[] = {
      {"silent", [&] { pack->setFaults({.silent = true}); }, "Total Bytes :   Time out "},
      {"refused", [&] { pack->setFaults({.status = 1, .refused = 0x6500}); }, "Total Bytes :   Time out "},
      {"count 0", [&] { setPack([](sim::Ur2PackState& s) { s.eeprom.lists[0].clear(); }); },
       "Total Package Number :   0"},
      // Another list's count in answer: stored in that list, not taken for this one.
      {"another count", [&] { gate->answerAs(0x6500, 0x6600); }, "Total Bytes :   Time out "},
  };
  page(1);
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    pack->setFaults({});
    k.arrange();
    adapter->clearWritten();
    run(ectl::BitBtnEEPBlockChoiceRead);
    expectLines(lines(ectl::MemoEEPProtect), QStringList{k.line});
    EXPECT_EQ(requestsOf(0x6501), 0);
    EXPECT_TRUE(QDir(folder.path()).entryList({"UART_*"}, QDir::Dirs).isEmpty());
    expectCommandSetBackButPdf();
  }
}

TEST_F(EepromRoad, ARecordWithAMissingPartIsMarkedNotFilledFromTheOneBefore) {
  setPack([](sim::Ur2PackState& s) {
    s.eeprom.lists[1] = records(3, 0x81);
    s.eeprom.silentParts = {{sim::SimEepList::Lead, 2, 2}, {sim::SimEepList::Lead, 3, 1}};
  });
  page(2);
  run(ectl::BitBtnEEPBlockChoiceRead);
  const QStringList shown = lines(ectl::MemoEEPNormalLEAD);
  ASSERT_EQ(shown.size(), 4);
  EXPECT_EQ(shown[1], eventLine(1));
  EXPECT_EQ(shown[2], "0002 , Date : 2018.7.3 , Time : 14.5.2 , Event , Charge Start , SOC  : 0 % , Voltage  : 0 mV , "
                      "Current  : -65536 mA , T1  : 0 Deg.C , VoltDiff  : 12 mV , Cycle Cnt  : 2  , "
                      "Incomplete, missing part : 2 , ");
  EXPECT_EQ(shown[3], "0003 , Date : 2000.0.0 , Time : 0.0.0 , Event , Charge Start , SOC  : 35 % , "
                      "Voltage  : 40003 mV , Current  : 35036 mA , T1  : 31 Deg.C , VoltDiff  : 12 mV , "
                      "Cycle Cnt  : 3  , Incomplete, missing part : 1 , ");
}

TEST_F(EepromRoad, ThePreviewOffersTheRecordsAndTheRangeReadsThem) {
  setPack([](sim::Ur2PackState& s) { s.eeprom.lists[1] = records(25, 0x81); });
  page(2);
  EXPECT_TRUE(c().enabled(ectl::GroupBoxEEPRangeRead));
  run(ectl::BitBtnEEPPreView);
  expectLines(lines(ectl::MemoEEPNormalLEAD), QStringList{"Total Package Number :   25"});
  ASSERT_EQ(c().items(ectl::ComboBoxEEPStartAddrRead).size(), 25);
  EXPECT_EQ(c().itemIndex(ectl::ComboBoxEEPStartAddrRead), 0);
  EXPECT_EQ(c().itemIndex(ectl::ComboBoxEEPEndAddrRead), 24);
  EXPECT_TRUE(c().enabled(ectl::BitBtnEEPRange));
  EXPECT_TRUE(c().enabled(ectl::BitBtnEEPPreView));

  // Items "3" to "5": records 3 to 5, announced on the LEAD page.
  c().selectItem(ectl::ComboBoxEEPStartAddrRead, 2);
  c().selectItem(ectl::ComboBoxEEPEndAddrRead, 4);
  gate->holdAt(request(0x6601, 1, 3));  // the worker waits at its first record
  click(ectl::BitBtnEEPRange);
  // Off on the GUI thread, before the worker runs.
  EXPECT_FALSE(c().enabled(ectl::BitBtnEEPRange));
  EXPECT_FALSE(c().enabled(ectl::BitBtnEEPBlockChoiceRead));
  gate->waitReached();
  gate->release();
  tool->services.workers.joinAll();
  expectLines(lines(ectl::MemoEEPNormalLEAD),
              (QStringList{"Total Package Number :   25", "\n\r", "Data Read : 3 to  5 .", eventLine(3), eventLine(4),
                           eventLine(5)}));
  EXPECT_TRUE(c().enabled(ectl::BitBtnEEPRange));
  EXPECT_TRUE(c().enabled(ectl::BitBtnEEPSave));

  // An end before the start reads nothing and adds no line.
  c().selectItem(ectl::ComboBoxEEPStartAddrRead, 4);
  c().selectItem(ectl::ComboBoxEEPEndAddrRead, 2);
  adapter->clearWritten();
  run(ectl::BitBtnEEPRange);
  EXPECT_EQ(lines(ectl::MemoEEPNormalLEAD).size(), 6);
  EXPECT_EQ(requestsOf(0x6601), 0);

  // The LAST range adds its separator after the records and no "Data Read" line.
  setPack([](sim::Ur2PackState& s) { s.eeprom.lists[2] = records(2, 0x81); });
  page(3);
  run(ectl::BitBtnEEPPreView);
  run(ectl::BitBtnEEPRange);
  expectLines(lines(ectl::MemoEEPNormalLAST),
              (QStringList{"Total Package Number :   2", eventLine(1), eventLine(2), "\n\r"}));
}

TEST_F(EepromRoad, APreviewOfNoRecordsLeavesTheRangeButtonOff) {
  page(2);
  run(ectl::BitBtnEEPPreView);
  expectLines(lines(ectl::MemoEEPNormalLEAD), QStringList{"Total Package Number :   0"});
  EXPECT_TRUE(c().items(ectl::ComboBoxEEPStartAddrRead).isEmpty());
  EXPECT_EQ(c().itemIndex(ectl::ComboBoxEEPStartAddrRead), -1);
  EXPECT_EQ(c().itemIndex(ectl::ComboBoxEEPEndAddrRead), -1);
  EXPECT_FALSE(c().enabled(ectl::BitBtnEEPRange));
  EXPECT_TRUE(c().enabled(ectl::BitBtnEEPPreView));
  // Every later read ends with it off too, though the command set comes back.
  run(ectl::BitBtnEEPBlockChoiceRead);
  EXPECT_FALSE(c().enabled(ectl::BitBtnEEPRange));
  EXPECT_TRUE(c().enabled(ectl::BitBtnEEPBlockChoiceRead));
}

TEST_F(EepromRoad, ClosingTheWindowStopsALongReadAndKeepsWhatWasRead) {
  setPack([](sim::Ur2PackState& s) { s.eeprom.lists[1] = records(2000, 0x81); });
  page(2);
  c().setChecked(ectl::CheckBoxEEPReadLast10, false);
  gate->holdAt(request(0x6601, 1, 5));
  click(ectl::BitBtnEEPBlockChoiceRead);
  gate->waitReached();
  c().setVisible(ectl::FormEEPROM, false);
  eep().onEvent(ectl::FormEEPROM, UiEvent::Close);
  EXPECT_TRUE(c().visible(ectl::FormEEPROM));
  gate->release();
  tool->services.workers.joinAll();
  QStringList expected{"Total Package Number :   2000"};
  for (int n = 1; n <= 5; ++n) expected << eventLine(n);
  expectLines(lines(ectl::MemoEEPNormalLEAD), expected);
  expectCommandSetBackButPdf();
  // The next read goes whole again.
  setPack([](sim::Ur2PackState& s) { s.eeprom.lists[1] = records(12, 0x81); });
  run(ectl::BitBtnEEPBlockChoiceRead);
  EXPECT_EQ(lines(ectl::MemoEEPNormalLEAD).size(), 6 + 13);
}

class EepromSave : public EepromRoad {
 protected:
  QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
  }
  QByteArray expectedBytes(Control memo) {
    QByteArray b;
    for (const QString& line : lines(memo)) b += line.toLatin1() + "\r\n";
    return b;
  }
  // The save's and the run folder's names come from the clock: it is set again before each step, so that reads
  // held up by a loaded machine do not carry a name into the next second.
  static void clockAtTheSaveSecond() { platform::setFixedNow(QDateTime(QDate(2018, 7, 3), QTime(14, 15, 2))); }
  void readAllPages() {
    setPack([](sim::Ur2PackState& s) {
      s.eeprom.header = fullHeader();
      s.answersBarcode32Eep = true;
      s.eeprom.lists[0] = records(2, 0x44);
      s.eeprom.lists[1] = records(3, 0x81);
    });
    for (int p : {0, 1, 2}) {
      page(p);
      clockAtTheSaveSecond();
      run(ectl::BitBtnEEPBlockChoiceRead);
    }
  }
  void saveAtTheSaveSecond() {
    clockAtTheSaveSecond();
    click(ectl::BitBtnEEPSave);
  }
};

TEST_F(EepromSave, FourFilesHoldThePagesByteForByteAndALaterSaveOfTheSameSecondIsKeptApart) {
  readAllPages();
  // The protection read made its log, with its header line alone.
  const QString run = folder.path() + "/UART_20180703_141502/UART_20180703_141502_Protectlog_1.csv";
  EXPECT_EQ(fileBytes(run), "Date, Time, Pack Current (mA), Pack Voltage (mV), SOC, T1(Deg.C), Volt Diff, Cycle Count, "
                            "Ptt/Evt Flag, Chg/Dsg, UT, OT, SC, OC, UV, OV, Event, \r\n");

  c().setText(mctl::EditFWID, "ABC123");
  c().setText(mctl::EditFWVer, "01.05");
  saveAtTheSaveSecond();
  saveAtTheSaveSecond();
  const QString dir = folder.path() + "/EEPROM_Log/EEP_ABC123_V01.05/";
  const struct {
    const char* page;
    Control memo;
  } pages[] = {{"Header", ectl::MemoEEPHeader},
               {"Protect", ectl::MemoEEPProtect},
               {"LEAD", ectl::MemoEEPNormalLEAD},
               {"LAST", ectl::MemoEEPNormalLAST}};
  for (const char* stem : {"EEP_ABC123_V01.05_20180703_141502_", "EEP_ABC123_V01.05_20180703_141502_1_"}) {
    for (const auto& p : pages) {
      SCOPED_TRACE(std::string(stem) + p.page);
      EXPECT_EQ(fileBytes(dir + stem + p.page + ".txt"), expectedBytes(p.memo));
    }
  }
  EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 8);
  EXPECT_TRUE(fileBytes(dir + "EEP_ABC123_V01.05_20180703_141502_Header.txt").contains("\n\r\r\n"));
  EXPECT_TRUE(fileBytes(dir + "EEP_ABC123_V01.05_20180703_141502_LAST.txt").isEmpty());
  EXPECT_TRUE(c().enabled(ectl::BitBtnEEPSave));
  EXPECT_TRUE(c().text(ectl::LabelEEPSaveResult).startsWith("Saved in "));
}

TEST_F(EepromSave, NamesFromThePackStayInsideTheSaveFolder) {
  readAllPages();
  // No firmware id shown: EEP_NULL.
  saveAtTheSaveSecond();
  EXPECT_TRUE(QFile::exists(folder.path() + "/EEPROM_Log/EEP_NULL/EEP_NULL_20180703_141502_Header.txt"));
  c().setText(mctl::EditFWID, "../../x/y");
  c().setText(mctl::EditFWVer, "..");
  saveAtTheSaveSecond();
  const QString dir = folder.path() + "/EEPROM_Log/EEP_____x_y_V_/";
  EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 4) << dir.toStdString();
  EXPECT_FALSE(QDir(folder.path() + "/x").exists());
  EXPECT_EQ(QDir(folder.path() + "/EEPROM_Log").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
}

TEST_F(EepromSave, AFolderThatCannotBeWrittenIsReportedAndSaveComesBack) {
  readAllPages();
  QFile blocker(folder.path() + "/EEPROM_Log");  // a file where the folder should be
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  click(ectl::BitBtnEEPSave);
  EXPECT_TRUE(c().text(ectl::LabelEEPSaveResult).startsWith("Save failed"));
  EXPECT_TRUE(c().enabled(ectl::BitBtnEEPSave));

  // Once the folder can be made, the same save goes through.
  blocker.remove();
  click(ectl::BitBtnEEPSave);
  EXPECT_TRUE(c().text(ectl::LabelEEPSaveResult).startsWith("Saved in "));
  EXPECT_EQ(QDir(folder.path() + "/EEPROM_Log/EEP_NULL").entryList(QDir::Files).size(), 4);
}

}  // namespace
}  // namespace qv
