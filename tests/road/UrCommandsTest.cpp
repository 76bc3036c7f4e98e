// The UR service commands in the whole program, without a display, over the simulated UR2 pack: each command
// from its button to its result (the frames written byte for byte, the texts shown), the control sets before,
// during and after, a refused and a silent pack, no adapter, a worker that cannot start, the erase's consent,
// the EEPROM buttons, and the clock and shipping-mode reads of the polling loops.

#include "ProgramRig.h"
#include "app/ServiceTool.h"
#include "commands/UrServiceCommands.h"
#include "eeprom/EEPROMFormControls.h"
#include "eeprom/EEPRecordFormControls.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/CommandSets.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/Monitor.h"
#include "platform/Time.h"
#include "sim/CompositePack.h"
#include "sim/SimSetups.h"
#include "sim/Ur2Pack.h"
#include "support/Bytes.h"
#include "support/OnWorker.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace qv {
namespace {

namespace ctl = mainwindow::ctl;
using test::data;
using test::hex;
using test::hexText;
using test::PeekPack;
using test::req;

// A pack that answers one read request as if another message had been asked.
class AnswersAnother : public sim::SerialPack {
 public:
  AnswersAnother(std::shared_ptr<sim::SerialPack> inner, uint16_t asked, uint16_t answered, uint16_t index)
      : inner_(std::move(inner)), asked_(asked), answered_(answered), index_(index) {}
  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override {
    QByteArray f = payload;
    if (f.size() == 13 && static_cast<uint8_t>(f[3]) == asked_ >> 8 && static_cast<uint8_t>(f[4]) == (asked_ & 0xFF)) {
      f[3] = static_cast<char>(answered_ >> 8);
      f[4] = static_cast<char>(answered_);
      f[5] = static_cast<char>(index_ >> 8);
      f[6] = static_cast<char>(index_);
      uint8_t x = 0;
      for (int i = 0; i < 11; ++i) x ^= static_cast<uint8_t>(f[i]);
      f[11] = static_cast<char>(x);
    }
    return inner_->answer(f, expected);
  }

 private:
  std::shared_ptr<sim::SerialPack> inner_;
  uint16_t asked_, answered_, index_;
};

// Public: the case tables reach it through a reference.
class UrCommands : public test::ProgramRig {
 public:
  ~UrCommands() override { platform::setFixedNow(QDateTime()); }

  int requestsOf(const char* message) const {
    int n = 0;
    for (const QString& f : frames()) n += f == req(message) ? 1 : 0;
    return n;
  }

  std::map<Control, bool> commandSetStates() {
    std::map<Control, bool> out;
    for (Control name : mainwindow::CommandSet()) out[name] = c().enabled(name);
    return out;
  }
  // Every control of the command set but "PDF" is enabled, and "PDF" is not.
  void expectCommandSetBackButPdf() {
    for (Control name : mainwindow::CommandSet()) {
      EXPECT_EQ(c().enabled(name), name != ctl::BitBtnPrint) << name;
    }
  }
};

const QString kStop = QStringLiteral("  SYS : < STOP >");
const QString kLink = QStringLiteral("  SYS : < LINK >");

TEST_F(UrCommands, EachCommandWritesItsFramesAndShowsItsResult) {
  const struct Case {
    const char* name;
    Control button;
    std::function<void(UrCommands&)> before;
    std::vector<QString> frames;
    std::function<void(UrCommands&)> check;
    QString panel0;
  } cases[] = {
      // clang-format off
      {"sleep", ctl::SpdBtnSleep, {}, {req("42 05 00 00 00 00 00 00")},
       [](UrCommands& t) { EXPECT_EQ(t.pack->state().sleptOn, 0x4205); }, kStop},
      {"deep sleep", ctl::SpdBtnDeepSleep, {}, {req("42 06 00 00 00 00 00 00")},
       [](UrCommands& t) { EXPECT_EQ(t.pack->state().sleptOn, 0x4206); }, kStop},
      {"serial set, ten characters", ctl::SpdBtnSNSet,
       [](UrCommands& t) { t.c().setText(ctl::EditPDSN, "ABCDEFGHIJ"); },
       {req("40 01 00 00 00 00 00 08"), data("43 44 45 46 47 48 49 4A")},
       [](UrCommands& t) {
         EXPECT_EQ(t.c().text(ctl::EditPDSN), "CDEFGHIJ");
         EXPECT_EQ(t.pack->state().serial, "CDEFGHIJ");
       },
       kStop},
      {"serial set, three characters", ctl::SpdBtnSNSet, [](UrCommands& t) { t.c().setText(ctl::EditPDSN, "123"); },
       {req("40 01 00 00 00 00 00 08"), data("31 32 33 00 00 00 00 00")},
       [](UrCommands& t) {
         EXPECT_EQ(t.c().text(ctl::EditPDSN), "123");
         EXPECT_EQ(t.pack->state().serial, "123");
       },
       kStop},
      {"serial get", ctl::SpdBtnSNGet, [](UrCommands& t) { t.c().setText(ctl::EditPDSN, "old"); },
       {req("20 01 00 01 00 00 00 00")}, [](UrCommands& t) { EXPECT_EQ(t.c().text(ctl::EditPDSN), "SN123456"); },
       kStop},
      {"clock set", ctl::SpdBtnRTCSet, {}, {req("40 06 00 00 00 00 00 06"), data("12 07 03 09 05 07 00 00")},
       [](UrCommands& t) {
         EXPECT_EQ(t.c().text(ctl::EditRTC), " 2018.07.03   09:05:07 ");
         EXPECT_EQ(t.pack->state().clock, (std::array<uint8_t, 6>{18, 7, 3, 9, 5, 7}));
       },
       kLink},
      {"clock get", ctl::SpdBtnRTCGet, [](UrCommands& t) { t.c().setText(ctl::EditRTC, "old"); },
       {req("10 05 00 00 00 00 00 00")},
       [](UrCommands& t) { EXPECT_EQ(t.c().text(ctl::EditRTC), " 2024.5.6   7:8:9"); },
       kLink},
      {"shipping mode set, ticked", ctl::SpdBtnShippingModeSet,
       [](UrCommands& t) { t.c().setChecked(ctl::CheckBoxSippingMode, true); },
       {req("42 09 00 00 00 00 00 01"), data("01 00 00 00 00 00 00 00")},
       [](UrCommands& t) {
         EXPECT_EQ(t.c().text(ctl::CheckBoxSippingMode), "Write En OK.");
         EXPECT_TRUE(t.pack->state().shippingMode);
       },
       kLink},
      {"shipping mode set, cleared", ctl::SpdBtnShippingModeSet,
       [](UrCommands& t) {
         sim::Ur2PackState s = t.pack->state();
         s.shippingMode = true;
         t.pack->setState(s);
       },
       {req("42 09 00 00 00 00 00 01"), data("00 00 00 00 00 00 00 00")},
       [](UrCommands& t) {
         EXPECT_EQ(t.c().text(ctl::CheckBoxSippingMode), "Write Dis OK.");
         EXPECT_FALSE(t.pack->state().shippingMode);
       },
       kLink},
      {"shipping mode get", ctl::SpdBtnShippingModeGet,
       [](UrCommands& t) {
         sim::Ur2PackState s = t.pack->state();
         s.shippingMode = true;
         t.pack->setState(s);
       },
       {req("20 0B 00 00 00 00 00 00")},
       [](UrCommands& t) {
         EXPECT_TRUE(t.c().checked(ctl::CheckBoxSippingMode));
         EXPECT_EQ(t.c().text(ctl::CheckBoxSippingMode), "Enabled");
         EXPECT_TRUE(t.c().checked(ctl::CheckBoxShippingModeReadOnly));
         EXPECT_EQ(t.c().text(ctl::CheckBoxShippingModeReadOnly), "Enabled");
       },
       kLink},
      {"erase", ctl::SpdBtnEEPROMEraseSet,
       [](UrCommands& t) {
         t.c().setChecked(ctl::CheckBoxEEPROMErase, true);
         t.c().setText(ctl::CheckBoxEEPROMErase, "Time out.");
       },
       {req("41 03 00 00 00 00 00 01"), data("01 00 00 00 00 00 00 00")},
       [](UrCommands& t) {
         EXPECT_EQ(t.c().text(ctl::CheckBoxEEPROMErase), "");
         EXPECT_EQ(t.pack->state().eepromErases, 1);
       },
       kLink},
      // clang-format on
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    start();
    if (k.before) k.before(*this);
    c().setEnabled(ctl::BitBtnPrint, true);  // as a report read leaves it
    // The clock starts at a whole second for each command, so a slow machine does not carry the clock set's
    // second past the one it expects.
    platform::setFixedNow(QDateTime(QDate(2018, 7, 3), QTime(9, 5, 7)));
    run(k.button);
    EXPECT_EQ(frames(), k.frames);
    k.check(*this);
    EXPECT_EQ(c().panel(ctl::StatusBarView, 0), k.panel0);
    EXPECT_EQ(tool->link.AdapterHandle.load(), 0u);
    expectCommandSetBackButPdf();
    EXPECT_TRUE(c().undeclared().empty()) << c().undeclared().front();
  }
}

TEST_F(UrCommands, TheClockSetGoesOutByteForByte) {
  platform::setFixedNow(QDateTime(QDate(2018, 7, 3), QTime(9, 5, 7)));
  run(ctl::SpdBtnRTCSet);
  const std::vector<QByteArray> written = adapter->written();
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(hexText(written[0]), hexText(hex("55 AA 07 01 00 0D 00 0D 40 00 01 40 06 00 00 00 00 00 06 01 0D F4 0D")));
  EXPECT_EQ(hexText(written[1]), hexText(hex("55 AA 07 01 00 0D 00 0D 40 00 02 12 07 03 09 05 07 00 00 5F 0D F4 0D")));
}

TEST_F(UrCommands, ARefusingOrSilentPackGetsTheFailureTextNeverTheSuccessText) {
  const struct Case {
    Control button;
    const char* request;
    int requests;
    std::function<void(UrCommands&)> check;
  } cases[] = {
      // clang-format off
      {ctl::SpdBtnShippingModeSet, "42 09 00 00 00 00 00 01", 1,
       [](UrCommands& t) { EXPECT_EQ(t.c().text(ctl::CheckBoxSippingMode), "Write error."); }},
      {ctl::SpdBtnShippingModeGet, "20 0B 00 00 00 00 00 00", 3,
       [](UrCommands& t) {
         EXPECT_FALSE(t.c().checked(ctl::CheckBoxSippingMode));
         EXPECT_EQ(t.c().text(ctl::CheckBoxSippingMode), "Read error.");
       }},
      {ctl::SpdBtnRTCSet, "40 06 00 00 00 00 00 06", 1, [](UrCommands& t) { EXPECT_EQ(t.c().text(ctl::EditRTC), ""); }},
      {ctl::SpdBtnRTCGet, "10 05 00 00 00 00 00 00", 3, [](UrCommands& t) { EXPECT_EQ(t.c().text(ctl::EditRTC), ""); }},
      {ctl::SpdBtnSNGet, "20 01 00 01 00 00 00 00", 3, [](UrCommands& t) { EXPECT_EQ(t.c().text(ctl::EditPDSN), ""); }},
      {ctl::SpdBtnEEPROMEraseSet, "41 03 00 00 00 00 00 01", 3,
       [](UrCommands& t) { EXPECT_EQ(t.c().text(ctl::CheckBoxEEPROMErase), "Time out."); }},
      // clang-format on
  };
  for (const sim::Ur2Faults& fault : {sim::Ur2Faults{.status = 1}, sim::Ur2Faults{.silent = true}}) {
    for (const Case& k : cases) {
      SCOPED_TRACE(std::string(k.button.key()) + (fault.silent ? " silent" : " refused"));
      start();
      pack->setFaults(fault);
      c().setChecked(ctl::CheckBoxSippingMode, true);
      c().setChecked(ctl::CheckBoxEEPROMErase, true);
      c().setText(ctl::EditRTC, "old");
      c().setText(ctl::EditPDSN, "old");
      run(k.button);
      EXPECT_EQ(requestsOf(k.request), k.requests);
      k.check(*this);
      EXPECT_EQ(pack->state().shippingMode, false);
      EXPECT_EQ(pack->state().eepromErases, 0);
      expectCommandSetBackButPdf();
    }
  }
}

TEST_F(UrCommands, WithNoAdapterNothingIsWrittenAndEveryButtonComesBack) {
  const struct {
    Control button;
    QString panel0;  // the sleep and serial-number commands end on the stopped state; the others leave the open's
  } cases[] = {{ctl::SpdBtnSleep, kStop},
               {ctl::SpdBtnDeepSleep, kStop},
               {ctl::SpdBtnSNSet, kStop},
               {ctl::SpdBtnSNGet, kStop},
               {ctl::SpdBtnRTCSet, "  SYS : < START > "},
               {ctl::SpdBtnRTCGet, "  SYS : < START > "},
               {ctl::SpdBtnShippingModeSet, "  SYS : < START > "},
               {ctl::SpdBtnShippingModeGet, "  SYS : < START > "},
               {ctl::SpdBtnEEPROMEraseSet, "  SYS : < START > "}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.button);
    start();
    c().setChecked(ctl::CheckBoxEEPROMErase, true);
    c().setText(ctl::CheckBoxSippingMode, "kept");
    adapter->unplug();
    run(k.button);
    EXPECT_TRUE(adapter->written().empty());
    EXPECT_EQ(c().panel(ctl::StatusBarView, 0), k.panel0);
    EXPECT_EQ(c().text(ctl::CheckBoxSippingMode), "kept");
    EXPECT_EQ(tool->link.AdapterHandle.load(), 0u);
    expectCommandSetBackButPdf();
  }
}

TEST_F(UrCommands, ACommandWhoseOpenFailsLeavesAnotherSessionsHandleAlone) {
  ASSERT_TRUE(tool->link.OpenAdapter());  // as a monitoring run holds it
  const platform::FtHandle held = tool->link.AdapterHandle.load();
  test::onWorker([&] {
    tool->urCommands.SleepWorker();
    tool->urCommands.GetSerialNumberWorker();
  });
  EXPECT_EQ(tool->link.AdapterHandle.load(), held);
  EXPECT_TRUE(adapter->written().empty());
  EXPECT_EQ(c().panel(ctl::StatusBarView, 0), kStop);
  tool->link.CloseAdapter();
}

TEST_F(UrCommands, WhileACommandRunsTheWholeCommandSetIsOffAndADoubleClickStartsOne) {
  std::mutex m;
  std::vector<std::map<Control, bool>> during;
  peek->onRequest = [&](const QByteArray&) {
    std::lock_guard lock(m);
    during.push_back(commandSetStates());
  };
  click(ctl::SpdBtnRTCGet);
  // The set is off as soon as the starter returns, before the worker has done anything.
  for (Control name : mainwindow::CommandSet()) EXPECT_FALSE(c().enabled(name)) << name;
  click(ctl::SpdBtnRTCGet);
  click(ctl::SpdBtnSNGet);
  tool->services.workers.joinAll();

  EXPECT_EQ(frames(), std::vector<QString>{req("10 05 00 00 00 00 00 00")});
  ASSERT_EQ(during.size(), 1u);
  for (const auto& [name, enabled] : during[0]) EXPECT_FALSE(enabled) << name;
  EXPECT_TRUE(c().enabled(ctl::SpdBtnRUN));
  EXPECT_TRUE(c().enabled(ctl::SpdBtnConfigure));
  EXPECT_TRUE(c().enabled(ctl::SpdBtnExit));
  EXPECT_FALSE(c().enabled(ctl::BitBtnPrint));  // until the next report read
}

TEST_F(UrCommands, WhileMonitoringRunsNoCommandStartsAndTheEndGivesAllButPdfBack) {
  click(ctl::SpdBtnRUN);
  for (Control name : mainwindow::kRunStartSet) EXPECT_FALSE(c().enabled(name)) << name;
  EXPECT_TRUE(c().enabled(ctl::SpdBtnRUN));
  click(ctl::SpdBtnSleep);
  click(ctl::SpdBtnRTCSet);
  EXPECT_EQ(tool->services.workers.running("SleepWorker") + tool->services.workers.running("SetRtcWorker"), 0);
  click(ctl::SpdBtnRUN);
  tool->services.workers.joinAll();
  EXPECT_EQ(pack->state().sleptOn, 0);
  expectCommandSetBackButPdf();
}

TEST_F(UrCommands, AWorkerThatCannotStartGivesBackWhatItsStarterTook) {
  commands::UrServiceCommands refused(tool->link, [](std::string, std::function<void()>) {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  });
  c().setEnabled(ctl::BitBtnPrint, true);
  c().setEnabled(eeprom::eepromCtl::BitBtnEEPRange, false);  // off before: stays off
  const auto before = commandSetStates();
  for (void (commands::UrServiceCommands::*starter)() :
       {&commands::UrServiceCommands::SpdBtnSleepClick, &commands::UrServiceCommands::SpdBtnRTCSetClick,
        &commands::UrServiceCommands::SpdBtnSNGetClick}) {
    (refused.*starter)();
    EXPECT_EQ(commandSetStates(), before);
  }
  EXPECT_TRUE(adapter->written().empty());
}

TEST_F(UrCommands, TheEraseSendsNothingWithoutConsent) {
  // Not ticked: "Invalid.", nothing opened, no button touched.
  c().setPanel(ctl::StatusBarView, 0, "before");
  const auto before = commandSetStates();
  run(ctl::SpdBtnEEPROMEraseSet);
  EXPECT_EQ(c().text(ctl::CheckBoxEEPROMErase), "Invalid.");
  EXPECT_TRUE(adapter->written().empty());
  EXPECT_EQ(c().panel(ctl::StatusBarView, 0), "before");
  EXPECT_EQ(commandSetStates(), before);

  // Acknowledged at the second try: two requests, the caption stays empty.
  start();
  c().setChecked(ctl::CheckBoxEEPROMErase, true);
  pack->setFaults({.lostFrames = 2});
  run(ctl::SpdBtnEEPROMEraseSet);
  EXPECT_EQ(requestsOf("41 03 00 00 00 00 00 01"), 2);
  EXPECT_EQ(c().text(ctl::CheckBoxEEPROMErase), "");
  EXPECT_EQ(pack->state().eepromErases, 1);

  // The tick withdrawn while the first try goes unanswered: nothing more is sent.
  start();
  c().setChecked(ctl::CheckBoxEEPROMErase, true);
  pack->setFaults({.lostFrames = 2});
  peek->onRequest = [this](const QByteArray&) { c().setChecked(ctl::CheckBoxEEPROMErase, false); };
  run(ctl::SpdBtnEEPROMEraseSet);
  EXPECT_EQ(frames(), (std::vector<QString>{req("41 03 00 00 00 00 00 01"), data("01 00 00 00 00 00 00 00")}));
  EXPECT_EQ(c().text(ctl::CheckBoxEEPROMErase), "Invalid.");
  EXPECT_EQ(pack->state().eepromErases, 0);
}

TEST_F(UrCommands, TickingTheShippingBoxRemovesTheLastResult) {
  c().setText(ctl::CheckBoxSippingMode, "Write error.");
  c().setChecked(ctl::CheckBoxSippingMode, true);
  click(ctl::CheckBoxSippingMode);
  EXPECT_EQ(c().text(ctl::CheckBoxSippingMode), "");
  EXPECT_TRUE(c().checked(ctl::CheckBoxSippingMode));
}

TEST_F(UrCommands, ReadsRightAfterAUr2DetectionAreAlignedOnTheirFrames) {
  // The probe reads only the header of its answer; 16 bytes of its data frame stay behind in the queue.
  ASSERT_TRUE(tool->link.OpenAdapter());
  test::onWorker([&] {
    const auto lock = tool->link.exchange();
    ASSERT_TRUE(mainwindow::ProbeUr2(tool->link));
    EXPECT_TRUE(commands::ReadRtc(tool->link));
    EXPECT_EQ(c().text(ctl::EditRTC), " 2024.5.6   7:8:9");
    ASSERT_TRUE(mainwindow::ProbeUr2(tool->link));
    c().setChecked(ctl::CheckBoxSippingMode, true);
    EXPECT_TRUE(commands::WriteShippingMode(tool->link));
    EXPECT_EQ(c().text(ctl::CheckBoxSippingMode), "Write En OK.");
    ASSERT_TRUE(mainwindow::ProbeUr2(tool->link));
    EXPECT_TRUE(commands::PollShippingMode(tool->link));
    EXPECT_EQ(c().text(ctl::CheckBoxShippingModeReadOnly), "Enabled");
  });
  tool->link.CloseAdapter();
}

TEST_F(UrCommands, TheClockReadEndsAtTheFirstAcceptedAnswerOfAnyMessage) {
  // A pack that answers the clock request with its serial number: accepted and shown, so one try is enough.
  adapter->setPack(std::make_shared<AnswersAnother>(pack, 0x1005, 0x2001, 1));
  run(ctl::SpdBtnRTCGet);
  EXPECT_EQ(frames(), std::vector<QString>{req("10 05 00 00 00 00 00 00")});
  EXPECT_EQ(c().text(ctl::EditPDSN), "SN123456");
  EXPECT_EQ(c().text(ctl::EditRTC), "");
}

TEST_F(UrCommands, ThePollingLoopsReadTheClockAndTheShippingMode) {
  // UR2: the clock, each cycle.
  click(ctl::SpdBtnRUN);
  EXPECT_TRUE(waitFor([&] { return c().text(ctl::EditRTCENG) == " 2024.5.6   7:8:9"; }));
  click(ctl::SpdBtnRUN);
  tool->services.workers.joinAll();

  // UR96: the shipping mode, each cycle; "Unknown" once the pack stops answering it.
  start("ur96");
  sim::Ur2PackState s = pack->state();
  s.shippingMode = true;
  pack->setState(s);
  click(ctl::SpdBtnRUN);
  EXPECT_TRUE(waitFor([&] { return c().text(ctl::CheckBoxShippingModeReadOnly) == "Enabled"; }));
  pack->setFaults({.status = 1, .refused = 0x200B});
  EXPECT_TRUE(waitFor([&] { return c().text(ctl::CheckBoxShippingModeReadOnly) == "Unknown"; }));
  EXPECT_FALSE(c().checked(ctl::CheckBoxShippingModeReadOnly));
  click(ctl::SpdBtnRUN);
  tool->services.workers.joinAll();
}

TEST_F(UrCommands, TheEepromButtonsOpenTheirWindows) {
  // "UR": the main window is given over to the EEPROM window, which gives it back when it closes.
  click(ctl::BitBtnSafeInfoRead);
  EXPECT_FALSE(c().enabled(ctl::FormMain));
  EXPECT_TRUE(c().visible(eeprom::eepromCtl::FormEEPROM));
  c().setVisible(eeprom::eepromCtl::FormEEPROM, false);  // as the window's close box does
  tool->FormEEPROM.onEvent(eeprom::eepromCtl::FormEEPROM, UiEvent::Close);
  EXPECT_TRUE(c().enabled(ctl::FormMain));
  EXPECT_TRUE(c().visible(ctl::FormMain));

  // "CAN" and no choice: the main window stays usable, as nothing would give it back.
  for (int protocol : {1, -1}) {
    SCOPED_TRACE(protocol);
    start();
    c().setItemIndex(link::ctl::RadioGroup_Protocol, protocol);
    click(ctl::BitBtnSafeInfoRead);
    EXPECT_TRUE(c().enabled(ctl::FormMain));
    EXPECT_EQ(c().visible(eeprom::recordCtl::FormEEP_Record), protocol == 1);
    EXPECT_FALSE(c().visible(eeprom::eepromCtl::FormEEPROM));
  }

  // "EEP Read" shows the CAN record window; "EEP PARA" does nothing.
  start();
  click(ctl::BitBtn_EEP_READ);
  EXPECT_TRUE(c().visible(eeprom::recordCtl::FormEEP_Record));
  EXPECT_TRUE(c().enabled(ctl::FormMain));
  c().takeChanged();
  click(ctl::BitBtn_EEP_PARA);
  EXPECT_TRUE(c().takeChanged().empty());
}

}  // namespace
}  // namespace qv
