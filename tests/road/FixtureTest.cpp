// The fixture's buttons in the whole program over the simulated fixture: the switch and query frames byte for
// byte, the values shown, the SOC-indicator test's texts, bars and verdict, an absent fixture, a short reply.

#include "ProgramRig.h"
#include "commands/FixtureCommands.h"
#include "platform/ControlName.h"
#include "support/OnWorker.h"

namespace qv {
namespace {

namespace ctl = test::ctl;
using test::adapterFrame;

// The diagnosis report's labels the SOC test writes, declared here as that window would.
QV_CONTROL_KEYED(LabelTestSOCVolt, "FormDiagnosisReport.LabelTestSOCVolt");
QV_CONTROL_KEYED(LabelTestDsgVolt, "FormDiagnosisReport.LabelTestDsgVolt");
QV_CONTROL_KEYED(LabelTestResultDsgVolt, "FormDiagnosisReport.LabelTestResultDsgVolt");

const commands::FixtureReportLabels kReport{LabelTestSOCVolt, LabelTestDsgVolt, LabelTestResultDsgVolt};

class Fixture : public test::ProgramRig {
 public:
  void declareReport() {
    for (Control name : {LabelTestSOCVolt, LabelTestDsgVolt, LabelTestResultDsgVolt}) c().declare(name, {});
  }
  // The SOC test on the adapter, as the report read runs it.
  bool socTest() {
    bool read = false;
    EXPECT_TRUE(tool->link.OpenAdapter());
    test::onWorker([&] {
      const auto lock = tool->link.exchange();
      read = commands::TestSocIndicatorVoltage(tool->link, kReport);
    });
    tool->link.CloseAdapter();
    return read;
  }
  void setBoard(const std::function<void(sim::FixtureState&)>& change) {
    sim::FixtureState s = board->state();
    change(s);
    board->setState(s);
  }
};

TEST_F(Fixture, TheSwitchButtonsSendTheirCommandAndFollowItInTheirCaption) {
  const struct Case {
    Control button;
    const char* caption;
    const char* frame;  // covered bytes
    const char* after;
    bool on;  // the path's state on the fixture afterwards
  } cases[] = {
      {ctl::SpdBtnChgSW, "ON", "01 1A 00 03 00 01 02", "OFF", true},
      {ctl::SpdBtnChgSW, "OFF", "01 1A 00 03 00 01 01", "ON", false},
      {ctl::SpdBtnDsgSW, "ON", "01 1A 00 03 00 02 02", "OFF", true},
      {ctl::SpdBtnDsgSW, "on", "01 1A 00 03 00 02 01", "ON", false},  // anything but "ON" switches off
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.button.key()) + " " + k.caption);
    start();
    setBoard([&](sim::FixtureState& s) { s.chargeOn = s.dischargeOn = !k.on; });
    c().setText(k.button, k.caption);
    run(k.button);
    EXPECT_EQ(adapterFrames(0x011A), std::vector<QString>{adapterFrame(k.frame)});
    EXPECT_EQ(adapter->written().size(), 1u);
    EXPECT_EQ(c().text(k.button), k.after);
    const sim::FixtureState after = board->state();
    EXPECT_EQ(k.button == ctl::SpdBtnChgSW ? after.chargeOn : after.dischargeOn, k.on);
    EXPECT_EQ(k.button == ctl::SpdBtnChgSW ? after.dischargeOn : after.chargeOn, !k.on);  // the other path untouched
    EXPECT_EQ(c().panel(ctl::StatusBarView, 0), test::kStop);
    expectCommandOver();
  }
  // The whole frame of the charge switch.
  EXPECT_EQ(adapterFrame("01 1A 00 03 00 01 02"), test::hexText(test::hex("55 AA 01 1A 00 03 00 01 02 E4 0D")));
}

TEST_F(Fixture, TheReadButtonsQueryTheirChannelAndShowTheValue) {
  const struct Case {
    Control button;
    const char* query;  // covered bytes
    Control edit;
  } cases[] = {
      {ctl::SpdBtnDsgVoltRead, "01 18 00 02 00 06 00 03", ctl::EditDsgVolt},
      {ctl::SpdBtnBtyVoltRead, "01 18 00 02 00 06 00 04", ctl::EditBtyVolt},
      {ctl::SpdBtnChgVoltRead, "01 18 00 02 00 06 00 05", ctl::EditChgVolt},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.button.key());
    start();
    setBoard([](sim::FixtureState& s) {
      s.dischargeMv = 3300;
      s.batteryMv = 4294967295u;
      s.chargeMv = 0;
    });
    run(k.button);
    EXPECT_EQ(adapterFrames(0x0118), std::vector<QString>{adapterFrame(k.query)});
    EXPECT_EQ(c().text(k.edit), k.edit == ctl::EditDsgVolt ? "3300" : k.edit == ctl::EditBtyVolt ? "4294967295" : "0");
    EXPECT_EQ(c().panel(ctl::StatusBarView, 0), test::kStop);
    expectCommandOver();
  }
  EXPECT_EQ(adapterFrame("01 18 00 02 00 06 00 03"), test::hexText(test::hex("55 AA 01 18 00 02 00 06 00 03 E1 0D")));
}

// The adapter's faults with one of them set.
template <typename T>
sim::Faults faults(T sim::Faults::*member, T value) {
  sim::Faults f;
  f.*member = value;
  return f;
}

TEST_F(Fixture, AnAnswerThatFailsItsChecksLeavesTheBoxAsItWas) {
  const struct Case {
    const char* name;
    std::function<void(Fixture&)> fault;
    const char* shown;
  } cases[] = {
      {"no fixture", [](Fixture& t) { t.adapter->setFixture(nullptr); }, "old"},
      {"a silent fixture", [](Fixture& t) { t.board->setFaults({.silent = true}); }, "old"},
      {"a reply short of its terminator", [](Fixture& t) { t.adapter->setFaults(faults(&sim::Faults::shortBy, 1)); },
       "old"},
      {"a value one byte short", [](Fixture& t) { t.board->setFaults({.dataShortBy = 1}); }, "old"},
      {"noise before the reply",
       [](Fixture& t) { t.adapter->setFaults(faults(&sim::Faults::noiseBefore, QByteArray("\x13"))); }, "old"},
      {"a wrong checksum is accepted", [](Fixture& t) { t.adapter->setFaults(faults(&sim::Faults::wrongChk, true)); },
       "3300"},
      {"no adapter", [](Fixture& t) { t.adapter->unplug(); }, "old"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    start();
    setBoard([](sim::FixtureState& s) { s.dischargeMv = 3300; });
    c().setText(ctl::EditDsgVolt, "old");
    k.fault(*this);
    run(ctl::SpdBtnDsgVoltRead);
    EXPECT_EQ(c().text(ctl::EditDsgVolt), k.shown);
    EXPECT_EQ(c().panel(ctl::StatusBarView, 0), test::kStop);
    expectCommandOver();
  }
  // Unplugged: nothing written, and the switch keeps its caption.
  EXPECT_TRUE(adapter->written().empty());
  run(ctl::SpdBtnChgSW);
  EXPECT_EQ(c().text(ctl::SpdBtnChgSW), "ON");
}

const std::array<uint16_t, 11> kPassingSamples{3700, 3710, 3690, 3705, 3702, 50, 3698, 3701, 3699, 3704, 3703};

QStringList bars(std::initializer_list<std::pair<int, Colour>> list) {
  QStringList out;
  for (const auto& [v, colour] : list) out << QStringLiteral("%1/0x%2").arg(v).arg(colour, 8, 16, QLatin1Char('0'));
  return out;
}

TEST_F(Fixture, TheSocTestAveragesTheMiddleSamplesAndJudgesTheDischargeVoltage) {
  const struct Case {
    const char* name;
    uint32_t dischargeMv;
    const char* series;
    const char* verdict;
  } cases[] = {
      {"13 cells, 32500 mV", 32500, "13", "PASS"},
      {"13 cells, 32499 mV", 32499, "13", "NG"},
      {"no cell in series", 0, "0", "NG"},
      {"a negative count", 32500, "-1", "NG"},
      {"a count that is not a number", 32500, "13S", "NG"},
      {"a count that overflows", 32500, "99999999999999999999", "NG"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    start();
    declareReport();
    setBoard([&](sim::FixtureState& s) {
      s.socSamples = kPassingSamples;
      s.dischargeMv = k.dischargeMv;
    });
    c().setText(ctl::EditCellSeries, k.series);
    c().setText(LabelTestDsgVolt, "32.5 V");
    EXPECT_TRUE(socTest());
    EXPECT_EQ(board->queries(), (std::vector<uint16_t>{6, 3}));
    EXPECT_EQ(c().text(ctl::EditSOCVolt), "3.70");
    EXPECT_EQ(c().text(LabelTestSOCVolt), "3.70 V");
    EXPECT_EQ(c().text(ctl::EditDsgVolt), QString::number(k.dischargeMv));
    EXPECT_EQ(c().text(LabelTestResultDsgVolt), k.verdict);
    // clang-format off
    EXPECT_EQ(c().items(ctl::Chart1),
              bars({{50, colour::Red}, {3690, colour::Lime}, {3698, colour::Lime}, {3699, colour::Lime},
                    {3700, colour::Lime}, {3701, colour::Lime}, {3702, colour::Lime}, {3703, colour::Lime},
                    {3704, colour::Lime}, {3705, colour::Lime}, {3710, colour::Blue}}));
    // clang-format on
    EXPECT_TRUE(c().undeclared().empty());
  }
}

TEST_F(Fixture, TheSocTestsOtherBranchesAndItsFailures) {
  declareReport();
  // t1 and t2 far apart: t2 to t10 are kept, t1 is the blue bar. Sum 3000 + 8 * 3100 = 27800, mean 3088.
  setBoard([](sim::FixtureState& s) {
    s.socSamples = {3100, 3100, 20, 3100, 3000, 3100, 3100, 3100, 900, 3100, 3100};
    s.dischargeMv = 40000;
  });
  c().setText(ctl::EditCellSeries, "13");
  c().setText(LabelTestDsgVolt, "x");
  EXPECT_TRUE(socTest());
  EXPECT_EQ(c().text(ctl::EditSOCVolt), "3.09");
  EXPECT_EQ(c().text(LabelTestResultDsgVolt), "PASS");
  EXPECT_EQ(c().items(ctl::Chart1).front(), bars({{20, colour::Red}}).front());
  EXPECT_EQ(c().items(ctl::Chart1).back(), bars({{900, colour::Blue}}).front());

  // Samples all between 120 and 280: the raw chart stays, nothing else is written.
  start();
  declareReport();
  setBoard([](sim::FixtureState& s) { s.socSamples = {120, 280, 150, 200, 260, 130, 140, 170, 180, 190, 250}; });
  c().setText(ctl::EditSOCVolt, "old");
  EXPECT_TRUE(socTest());
  EXPECT_EQ(board->queries(), std::vector<uint16_t>{6});
  EXPECT_EQ(c().text(ctl::EditSOCVolt), "old");
  EXPECT_EQ(c().items(ctl::Chart1).size(), 11);
  EXPECT_EQ(c().items(ctl::Chart1).at(1), bars({{280, colour::Red}}).front());

  // Raw bar colours by value.
  start();
  declareReport();
  setBoard([](sim::FixtureState& s) { s.socSamples = {1000, 1001, 10000, 10001, 120, 150, 160, 170, 180, 190, 200}; });
  EXPECT_TRUE(socTest());
  EXPECT_EQ(c().items(ctl::Chart1).mid(0, 4),
            bars({{1000, colour::Red}, {1001, colour::Lime}, {10000, colour::Lime}, {10001, 0xFF00000A}}));

  // The discharge voltage not answered in this read: NG, whatever the box held before.
  start();
  declareReport();
  setBoard([](sim::FixtureState& s) { s.socSamples = kPassingSamples; });
  board->setFaults({.dataShortBy = 1, .faultChannel = 3});
  c().setText(ctl::EditCellSeries, "13");
  c().setText(LabelTestDsgVolt, "x");
  c().setText(ctl::EditDsgVolt, "40000");
  EXPECT_TRUE(socTest());
  EXPECT_EQ(c().text(ctl::EditDsgVolt), "40000");
  EXPECT_EQ(c().text(LabelTestResultDsgVolt), "NG");

  // No verdict while the report's discharge label is empty.
  start();
  declareReport();
  setBoard([](sim::FixtureState& s) {
    s.socSamples = kPassingSamples;
    s.dischargeMv = 40000;
  });
  c().setText(ctl::EditCellSeries, "13");
  c().setText(LabelTestResultDsgVolt, "before");
  EXPECT_TRUE(socTest());
  EXPECT_EQ(c().text(LabelTestResultDsgVolt), "before");

  // No valid channel 6 answer: neither chart nor boxes change.
  start();
  declareReport();
  board->setFaults({.dataShortBy = 1, .faultChannel = 6});
  c().setText(ctl::EditSOCVolt, "old");
  EXPECT_FALSE(socTest());
  EXPECT_EQ(board->queries(), std::vector<uint16_t>{6});
  EXPECT_EQ(c().text(ctl::EditSOCVolt), "old");
  EXPECT_TRUE(c().items(ctl::Chart1).isEmpty());
}

TEST_F(Fixture, TheSocButtonRunsTheTestAndGivesEveryButtonBack) {
  setBoard([](sim::FixtureState& s) {
    s.socSamples = kPassingSamples;
    s.dischargeMv = 32500;
  });
  click(ctl::SpdBtnSOCRead);
  for (Control name : {ctl::SpdBtnChgSW, ctl::SpdBtnDsgSW, ctl::SpdBtnBtyVoltRead, ctl::SpdBtnDsgVoltRead,
                       ctl::SpdBtnChgVoltRead, ctl::SpdBtnRUN, ctl::SpdBtnSOCRead}) {
    EXPECT_FALSE(c().enabled(name)) << name;
  }
  click(ctl::SpdBtnSOCRead);  // a second click starts nothing
  tool->services.workers.joinAll();
  EXPECT_EQ(board->queries(), (std::vector<uint16_t>{6, 3}));
  EXPECT_EQ(adapterFrames(0x0118).front(), adapterFrame("01 18 00 02 00 18 00 06"));
  EXPECT_EQ(c().text(ctl::EditSOCVolt), "3.70");
  EXPECT_EQ(c().text(ctl::EditDsgVolt), "32500");
  EXPECT_EQ(c().panel(ctl::StatusBarView, 0), test::kStop);
  expectCommandOver();
}

}  // namespace
}  // namespace qv
