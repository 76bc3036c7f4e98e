#include "link/AdapterFrames.h"
#include "mainwindow/CapacityTable.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainWindowLink.h"
#include "mainwindow/Ur96Record.h"
#include "sim/SimDriver.h"
#include "sim/Ur96Pack.h"
#include "support/BareStore.h"
#include "support/Bytes.h"
#include "support/CurrentFolder.h"
#include "support/TimeScale.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

// Failures show texts, not their bytes.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qv::mainwindow {
namespace {

// A UR96 record written byte by byte from its table, and its adapter reply.
struct Ur96Bytes {
  QByteArray b = QByteArray(96, '\0');
  Ur96Bytes() {
    b[0] = 'J';
    id("QV1302B96A");
  }
  Ur96Bytes& at(int i, uint8_t v) {
    b[i] = static_cast<char>(v);
    return *this;
  }
  Ur96Bytes& be(int i, uint64_t v, int width) {
    for (int k = width - 1; k >= 0; --k, v >>= 8) b[i + k] = static_cast<char>(v);
    return *this;
  }
  Ur96Bytes& id(const char* text) {
    for (int k = 0; k < 12; ++k) b[31 + k] = k < int(strlen(text)) ? text[k] : ' ';
    return *this;
  }
  Ur96Bytes& pack(uint32_t dc, uint8_t parallel, uint8_t rsoc, uint64_t tcc) {
    return be(5, dc, 4).at(46, parallel).at(2, rsoc).be(9, tcc, 6);
  }
  QByteArray record(int sumOffBy = 0) const {
    QByteArray r = b;
    uint8_t sum = 0;
    for (int i = 1; i <= 94; ++i) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(r[i]));
    r[95] = static_cast<char>(sum + sumOffBy);
    return r;
  }
  // An adapter reply with a right CHK; the length field as given (-1: the payload's).
  static QByteArray reply(const QByteArray& payload, uint16_t type = 0x0702, int length = -1) {
    if (length < 0) length = static_cast<int>(payload.size());
    QByteArray f = test::hex("55 AA");
    f.append(char(type >> 8)).append(char(type)).append(char(length >> 8)).append(char(length));
    f.append(payload);
    uint8_t x = 0;
    for (int i = 2; i < f.size(); ++i) x ^= static_cast<uint8_t>(f[i]);
    f.append(static_cast<char>(0xFF - x)).append('\x0D');
    return f;
  }
  QByteArray reply() const { return reply(record()); }
};

// The link over one simulated adapter, opened, with the UR read time-out.
class Ur96Read : public ::testing::Test {
 protected:
  void SetUp() override {
    adapter_ = driver().addAdapter();
    platform::FtHandle h = 0;
    ASSERT_EQ(driver().OpenByLocation(adapter_->record().locId, &h), platform::FT_OK);
    driver().SetTimeouts(h, 100, 100);
    link_.AdapterHandle = h;
    controls_.setColor(ctl::Shape_RX, colour::White);
    ControlState hidden;
    hidden.visible = false;
    controls_.declare(ctl::TabSheetST, hidden);
    controls_.declare(ctl::TabSheetKL, hidden);
    controls_.takeChanged();
  }
  sim::SimDriver& driver() { return static_cast<sim::SimDriver&>(services_.driver()); }

  bool read(const QByteArray& reply) {
    adapter_->inject(reply);
    return ReadUr96Record(link_, controls_, state_);
  }
  // A record through the simulated pack: the UR96 query written, its answer read.
  bool readFromPack(const sim::Ur96State& s) { return readFromPack(std::make_shared<sim::Ur96Pack>(s)); }
  bool readFromPack(std::shared_ptr<sim::Ur96Pack> pack) {
    adapter_->setPack(std::move(pack));
    EXPECT_TRUE(link::SendUr96Query(link_));
    return ReadUr96Record(link_, controls_, state_);
  }
  QString text(Control name) const { return controls_.text(name); }

  test::ScopedTimeScale fast_{0.02};
  platform::Services services_{std::make_unique<sim::SimDriver>()};
  link::Link link_{services_, mainwindow::kLinkControls};
  Controls& controls_ = services_.controls;
  // The windows' entries, in the state of a store nothing has written yet.
  const bool declared_ = (test::declareBareMainWindows(services_.controls), true);
  MainState state_;
  std::shared_ptr<sim::SimAdapter> adapter_;
};

TEST_F(Ur96Read, CapacityClassesReplaceThePacksFigures) {
  struct Case {
    uint32_t dc;
    uint8_t parallel;
    uint8_t rsoc;
    uint64_t tcc;
    const char* shownDc;
    const char* cycles;
    const char* fcc;
    const char* asoc;
    const char* total;
  };
  const Case cases[] = {
      {4300, 2, 50, 0, "4300", "0", "4300", "100", "2150"},
      {2150, 1, 0, 499 * 2150 - 860, "2150", "499", "1537", "71", "1072850"},
      {2150, 1, 0, 500 * 2150 - 860, "2150", "500", "1290", "60", "1075000"},
      {2649, 1, 0, 499 * 2900 - 1160, "2900", "499", "2032", "70", "1447100"},
      {2649, 1, 0, 500 * 2900 - 1160, "2900", "500", "2030", "70", "1450000"},
      {2033, 1, 0, 0, "2150", "0", "2150", "100", "860"},  // the class's edges
      {2233, 1, 0, 0, "2150", "0", "2150", "100", "860"},
      {2549, 1, 0, 0, "2900", "0", "2900", "100", "1160"},
      {2749, 1, 0, 0, "2900", "0", "2900", "100", "1160"},
      // 255 cells in parallel: P x cycles x 86000 passes 32 bits.
      {255 * 2150, 255, 0, uint64_t{499} * 255 * 2150 - 219300, "548250", "499", "391921", "71", "273576750"},
  };
  for (const Case& c : cases) {
    // The pack's own SOH, cycles and FCC are not shown inside a class.
    ASSERT_TRUE(read(Ur96Bytes().pack(c.dc, c.parallel, c.rsoc, c.tcc).at(1, 77).be(3, 5, 2).be(15, 9999, 4).reply()));
    EXPECT_EQ(text(ctl::EditDC), c.shownDc) << c.dc;
    EXPECT_EQ(text(ctl::EditCycleCnt), c.cycles) << c.dc;
    EXPECT_EQ(text(ctl::EditFCC), c.fcc) << c.dc;
    EXPECT_EQ(text(ctl::EditASOC), c.asoc) << c.dc;
    EXPECT_EQ(controls_.position(ctl::ProgressBarSOH), text(ctl::EditASOC).toInt());
    EXPECT_EQ(text(ctl::EditTCC), c.total) << c.dc;
    EXPECT_EQ(state_.CellDesignCapacity.load(), c.dc / c.parallel);
    const ReportRecord rep = state_.report.snapshot();
    EXPECT_EQ(QString::number(rep.designCapacity), c.shownDc);
    EXPECT_EQ(QString::number(rep.totalChargeCapacity), c.total);
    EXPECT_EQ(QString::number(rep.cycleCount), c.cycles);
    EXPECT_EQ(QString::number(rep.fullChargeCapacity), c.fcc);
  }
}

TEST_F(Ur96Read, OutsideTheClassesThePacksFiguresStand) {
  // 2032, 2234, 2548 and 2750 per cell lie outside; no cells in parallel has no capacity per cell at all.
  for (const auto& [dc, parallel] :
       {std::pair<uint32_t, uint8_t>{2032, 1}, {4468, 2}, {2548, 1}, {2750, 1}, {4300, 0}}) {
    ASSERT_TRUE(read(Ur96Bytes().pack(dc, parallel, 40, 123456).at(1, 77).be(3, 5, 2).be(15, 9999, 4).reply()));
    EXPECT_EQ(text(ctl::EditASOC), "77");
    EXPECT_EQ(controls_.position(ctl::ProgressBarSOH), 77);
    EXPECT_EQ(text(ctl::EditDC), QString::number(dc));
    EXPECT_EQ(text(ctl::EditCycleCnt), "5");
    EXPECT_EQ(text(ctl::EditFCC), "9999");
    EXPECT_EQ(text(ctl::EditTCC), "123456");
    EXPECT_EQ(text(ctl::EditCellParallel), QString::number(parallel));
    EXPECT_EQ(state_.CellDesignCapacity.load(), parallel != 0 ? dc / parallel : 0u);
    const ReportRecord rep = state_.report.snapshot();
    EXPECT_EQ(rep.designCapacity, dc);
    EXPECT_EQ(rep.cycleCount, 5u);
    EXPECT_EQ(rep.fullChargeCapacity, 9999u);
    EXPECT_EQ(rep.totalChargeCapacity, 123456u);
  }
}

TEST_F(Ur96Read, ValuesTextsAndColours) {
  controls_.setColor(ctl::EditT3, colour::Blue);
  ASSERT_TRUE(read(Ur96Bytes()
                       .pack(9000, 3, 64, 0)
                       .be(19, 3100, 4)
                       .be(23, 0xFFFFFE0C, 4)
                       .be(27, 48100, 4)
                       .id("QV13 2B96A")
                       .be(43, 0x0104, 2)
                       .at(45, 13)
                       .at(47, 0xC1)
                       .at(48, 0x29)
                       .at(50, 0xEC)
                       .at(51, 0x00)
                       .at(52, 0x00)
                       .be(56, 0x534E303031000000, 8)
                       .reply()));
  EXPECT_EQ(text(ctl::EditRSOC), "64");
  EXPECT_EQ(controls_.maximum(ctl::ProgressBarSOC), 100);
  EXPECT_EQ(controls_.position(ctl::ProgressBarSOC), 64);
  EXPECT_EQ(text(ctl::EditRC), "3100");
  EXPECT_EQ(text(ctl::EditPackCurrent), "-500");
  EXPECT_EQ(text(ctl::EditPackVolt), "48100");
  EXPECT_EQ(text(ctl::EditFWID), "QV13");
  EXPECT_EQ(text(ctl::EditFWVer), "260");
  EXPECT_EQ(text(ctl::EditCellSeries), "13");
  EXPECT_EQ(text(ctl::EditCellParallel), "3");
  EXPECT_EQ(text(ctl::EditCurrentSign), " Discharging ");
  EXPECT_EQ(controls_.color(ctl::EditCurrentSign), colour::Aqua);
  EXPECT_EQ(controls_.color(ctl::ShapeKeyPress), colour::Grey);
  EXPECT_EQ(text(ctl::EditT1), "-20");
  EXPECT_EQ(text(ctl::EditT2), "0");
  EXPECT_EQ(text(ctl::EditT3), "");
  EXPECT_EQ(controls_.color(ctl::EditT3), colour::Blue);
  EXPECT_EQ(text(ctl::EditPDSN), "SN001");
  const Control flags[] = {ctl::EditOVF, ctl::EditUVF, ctl::EditOCF, ctl::EditSCF, ctl::EditOTF, ctl::EditUTF};
  for (int bit = 0; bit < 6; ++bit) {
    const bool set = (0x29 >> bit & 1) != 0;
    EXPECT_EQ(controls_.color(flags[bit]), set ? colour::Red : colour::LightGreen) << flags[bit];
    EXPECT_EQ(controls_.fontColor(flags[bit]), set ? colour::White : colour::Navy) << flags[bit];
  }
  ReportRecord rep = state_.report.snapshot();
  EXPECT_STREQ(rep.firmwareId.data(), "QV13");
  EXPECT_STREQ(rep.firmwareId.data() + 5, "2B96A");  // the space left a zero byte
  EXPECT_EQ(rep.packCurrent, -500);
  EXPECT_EQ(rep.packVoltage, 48100u);
  EXPECT_EQ(rep.stateOfCharge, 64);
  EXPECT_EQ(rep.protectionFlags, 0x29);
  EXPECT_EQ(rep.t1, -20);
  EXPECT_EQ(rep.cellsInSeries, 13u);
  EXPECT_EQ(rep.cellsInParallel, 3u);

  struct ChargeCase {
    uint8_t b;
    const char* text;
    Colour colour;
    Colour key;
  };
  for (const ChargeCase& c : {ChargeCase{0x80, " Charging ", colour::Red, colour::Lime},
                              ChargeCase{0x41, " - None - ", colour::ButtonFace, colour::Grey}}) {
    ASSERT_TRUE(read(Ur96Bytes().at(47, c.b).at(52, 0xF6).be(23, 0x7FFFFFFF, 4).reply()));
    EXPECT_EQ(text(ctl::EditCurrentSign), c.text);
    EXPECT_EQ(controls_.color(ctl::EditCurrentSign), c.colour);
    EXPECT_EQ(controls_.color(ctl::ShapeKeyPress), c.key);
    EXPECT_EQ(text(ctl::EditT3), "-10");
    EXPECT_EQ(text(ctl::EditPackCurrent), "2147483647");
  }
  ASSERT_TRUE(read(Ur96Bytes().be(23, 0x80000000, 4).reply()));
  EXPECT_EQ(text(ctl::EditPackCurrent), "-2147483648");
}

TEST_F(Ur96Read, TailsOfTheShownPagesOnly) {
  const auto record = Ur96Bytes().be(64, 0x0102030405060708, 8).be(72, 0x090A0B0C, 4).reply();
  ASSERT_TRUE(read(record));
  EXPECT_EQ(text(ctl::EditMaxChgCurrent), "");
  EXPECT_EQ(text(ctl::EditDsgProtectionCurrent), "");
  controls_.setVisible(ctl::TabSheetST, true);
  ASSERT_TRUE(read(record));
  EXPECT_EQ(text(ctl::EditMaxChgCurrent), "258");
  EXPECT_EQ(text(ctl::EditMaxChgCounter), "772");
  EXPECT_EQ(text(ctl::EditMaxChgTemperature), "5");
  EXPECT_EQ(text(ctl::EditMaxChgCapacitymAh), QString::number(0x06070809));
  EXPECT_EQ(text(ctl::EditDsgProtectionCurrent), "");
  controls_.setVisible(ctl::TabSheetKL, true);
  ASSERT_TRUE(read(record));
  EXPECT_EQ(text(ctl::EditDsgProtectionCurrent), QString::number(0x01020304));
  EXPECT_EQ(text(ctl::EditDsgProtectionDelay), QString::number(0x0506));
  EXPECT_EQ(text(ctl::EditChgProtectionCurrent), QString::number(0x0708090A));
  EXPECT_EQ(text(ctl::EditChgProtectionDelay), QString::number(0x0B0C));
}

TEST_F(Ur96Read, RepliesThatFailTheirTestsChangeNothingButTheBar) {
  const QByteArray good = Ur96Bytes().reply();
  const QByteArray wrongType = Ur96Bytes::reply(Ur96Bytes().record(), 0x0119);
  const QByteArray longer = Ur96Bytes::reply(Ur96Bytes().record() + 'x');
  const QByteArray wrongLength = Ur96Bytes::reply(Ur96Bytes().record(), 0x0702, 95);
  const QByteArray notJ = Ur96Bytes::reply(Ur96Bytes().at(0, 'K').record());
  const QByteArray wrongSum = Ur96Bytes::reply(Ur96Bytes().record(1));
  QByteArray wrongChk = good;
  wrongChk[102] = static_cast<char>(wrongChk[102] ^ 0x5A);
  struct Case {
    const char* what;
    QByteArray reply;
    bool toggles;  // 104 bytes arrived
  };
  const Case cases[] = {
      // clang-format off
      {"103 bytes", good.left(103), false}, {"105 bytes", good + 'x', false}, {"longer frame", longer, false},
      {"type", wrongType, true},           {"length", wrongLength, true},    {"first byte", notJ, true},
      {"sum", wrongSum, true},             {"CHK", wrongChk, true},          {"nothing", QByteArray(), false},
      // clang-format on
  };
  for (const Case& c : cases) {
    controls_.setMaximum(ctl::ProgressBarSOC, 200);
    controls_.takeChanged();
    EXPECT_FALSE(read(c.reply)) << c.what;
    std::vector<std::string> changed = controls_.takeChanged();
    std::sort(changed.begin(), changed.end());
    std::vector<std::string> expected{std::string(ctl::ProgressBarSOC.key())};
    if (c.toggles) expected.emplace_back(ctl::Shape_RX.key());
    EXPECT_EQ(changed, expected) << c.what;
    EXPECT_EQ(controls_.maximum(ctl::ProgressBarSOC), 100);
    EXPECT_EQ(link_.AdapterStatus.load(), platform::FT_OK);
  }
  // A good record toggles the lamp twice; its terminator is not looked at.
  const Colour before = controls_.color(ctl::Shape_RX);
  QByteArray noTerminator = good;
  noTerminator[103] = 'x';
  EXPECT_TRUE(read(noTerminator));
  EXPECT_EQ(controls_.color(ctl::Shape_RX), before);

  // A failed read: its status is kept.
  driver().Close(link_.AdapterHandle);
  EXPECT_FALSE(ReadUr96Record(link_, controls_, state_));
  EXPECT_NE(link_.AdapterStatus.load(), platform::FT_OK);
}

// The lookup runs in the current folder, where the table is.
class Ur96Energy : public Ur96Read {
 protected:
  void SetUp() override {
    Ur96Read::SetUp();
    ASSERT_TRUE(folder_.entered());
    ASSERT_TRUE(folder_.write(kCapacityTableFile, "Model,Wh\nQV13,50\nQV14,x\n"));
  }

 private:
  test::ScopedCurrentFolder folder_;
};

TEST_F(Ur96Energy, LookupUsesTheIdShownBeforeTheRecord) {
  // Outside the classes: SOH 58 from the pack, RSOC 100.
  const auto record = [](const char* id, uint8_t soh, uint8_t rsoc) {
    return Ur96Bytes().id(id).pack(9000, 3, rsoc, 0).at(1, soh).reply();
  };
  // EditFWID was empty: no lookup, the energy boxes stay.
  ASSERT_TRUE(read(record("QV1302", 58, 100)));
  EXPECT_EQ(text(ctl::Edit_UR96_Battery_Wh), "");
  EXPECT_EQ(text(ctl::Edit_UR96_SOH_Wh), "");
  EXPECT_EQ(text(ctl::EditFWID), "QV1302");
  // The second record is looked up by the id the first one showed.
  ASSERT_TRUE(read(record("QV1402", 58, 100)));
  EXPECT_EQ(text(ctl::Edit_UR96_Battery_Wh), "50");
  EXPECT_EQ(text(ctl::Edit_UR96_SOH_Wh), "29");  // 58 % of 50 Wh; 28 in plain double
  EXPECT_EQ(text(ctl::Edit_UR96_SOC_Wh), "29");
  // QV14 has no energy in the table: the last text stays and the shares use it.
  ASSERT_TRUE(read(record("QV1302", 100, 50)));
  EXPECT_EQ(text(ctl::Edit_UR96_Battery_Wh), "50");
  EXPECT_EQ(text(ctl::Edit_UR96_SOH_Wh), "50");
  EXPECT_EQ(text(ctl::Edit_UR96_SOC_Wh), "25");
  EXPECT_EQ(state_.battery.snapshot().keyFound, 0);
}

TEST_F(Ur96Read, PackRecordOverTheAdapter) {
  sim::Ur96State s;
  s.rsoc = 76;
  s.soh = 98;
  s.designCapacity = 4300;
  s.parallel = 2;
  s.series = 13;
  s.totalCharge = 180000;
  s.currentMa = -1250;
  s.voltageMv = 48100;
  s.firmwareId = "QV1302B96A";
  s.temperatures = {25, -5, 31};
  s.serial = "SN000123";
  ASSERT_TRUE(readFromPack(s));
  EXPECT_EQ(text(ctl::EditDC), "4300");
  EXPECT_EQ(text(ctl::EditTCC), "181720");  // 4300 x 0.4 + 180000
  EXPECT_EQ(text(ctl::EditCycleCnt), "42");
  EXPECT_EQ(text(ctl::EditFCC), QString::number(4300 - 2 * 42 * 86000 / 70000));
  EXPECT_EQ(text(ctl::EditPackCurrent), "-1250");
  EXPECT_EQ(text(ctl::EditFWID), "QV1302B96A");
  EXPECT_EQ(text(ctl::EditT2), "-5");
  EXPECT_EQ(text(ctl::EditT3), "31");
  EXPECT_EQ(text(ctl::EditPDSN), "SN000123");

  // The pack's faults: a wrong sum and a short record are refused.
  for (const sim::Ur96Faults& f : {sim::Ur96Faults{true, 0}, sim::Ur96Faults{false, 1}}) {
    auto pack = std::make_shared<sim::Ur96Pack>(s);
    pack->setFaults(f);
    EXPECT_FALSE(readFromPack(pack));
  }
}

}  // namespace
}  // namespace qv::mainwindow
