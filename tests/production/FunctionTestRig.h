#pragma once
// The composed program over the simulated CAN pack, with the Function Test's barcode reads filled by small
// stand-ins over the same link (the program has none yet), an operator who answers the Yes/No boxes from a
// script, a keep-alive that goes out every 100 ms while the run keeps it on, and the reports written into a
// folder of the test's own.

#include "app/ServiceTool.h"
#include "link/CanLayer.h"
#include "link/ConfigFormControls.h"
#include "link/PackMessages.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Time.h"
#include "production/FunctionTestReads.h"
#include "sim/CanPack.h"
#include "sim/SimSetups.h"
#include "support/CurrentFolder.h"
#include "support/ProgramStart.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Lines shown as text when a comparison fails.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qv::test {

namespace fctl = mainwindow::ctl;

inline bool waitFor(const std::function<bool()>& done, int seconds = 60) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The operator: each box takes the next scripted answer, or waits for one when the script is empty and
// holding is on.
class ScriptedOperator : public platform::GuiRequests {
 public:
  void script(std::initializer_list<bool> answers) {
    std::lock_guard lock(mutex_);
    answers_.insert(answers_.end(), answers);
    cv_.notify_all();
  }
  void holdWhenEmpty(bool hold) {
    std::lock_guard lock(mutex_);
    hold_ = hold;
    cv_.notify_all();
  }
  int asked() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(questions_.size());
  }
  std::vector<std::pair<QString, QString>> questions() const {
    std::lock_guard lock(mutex_);
    return questions_;
  }
  bool askYesNo(const QString& caption, const QString& text) override {
    std::unique_lock lock(mutex_);
    questions_.emplace_back(caption, text);
    cv_.wait(lock, [&] { return !answers_.empty() || !hold_; });
    if (answers_.empty()) return false;
    const bool yes = answers_.front();
    answers_.pop_front();
    return yes;
  }
  bool printWindow(Control) override { return false; }
  QString chooseFileToOpen(const QString&) override { return {}; }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<bool> answers_;
  bool hold_ = false;
  std::vector<std::pair<QString, QString>> questions_;
};

// EVT.ini text with every key the tests set; the rest keep their defaults.
struct EvtIni {
  int repeat = 0;
  int tcc = 0, iep = 0, eep = 0, barcode = 0, barcodeMode = -1, rtc = 0, shipping = 0;
  int sleep = -1, afterEnd = -1;
  QByteArray check;  // further [Check] lines
  QByteArray text() const {
    return "[Set]\r\nTestRepeatCnt=" + QByteArray::number(repeat) +
           "\r\nEraseMCUIntTCCWrite=" + QByteArray::number(tcc) + "\r\nEraseMCUIntEEPWrite=" + QByteArray::number(iep) +
           "\r\nEEPEraseWrite=" + QByteArray::number(eep) + "\r\nBarcodeWrite=" + QByteArray::number(barcode) +
           "\r\nBarcodeMode=" + QByteArray::number(barcodeMode) + "\r\nRTCWrite=" + QByteArray::number(rtc) +
           "\r\nShippingModeWrite=" + QByteArray::number(shipping) +
           "\r\nSleep_or_DeepSleepStatusWrite=" + QByteArray::number(sleep) +
           "\r\nSleep_or_DeepSleep_Status_AfterEndTest=" + QByteArray::number(afterEnd) + "\r\n[Check]\r\n" + check;
  }
};

class FunctionTestRig {
 public:
  explicit FunctionTestRig(double scale = 0.02) : fast_(scale) {
    auto driver = sim::makeSimDriver("can");
    adapter = driver->adapters().front();
    pack = std::dynamic_pointer_cast<sim::CanPack>(adapter->canNode());
    pack->setBroadcastPeriod(50);
    tool = std::make_unique<app::ServiceTool>(std::move(driver));
    tool->services.setGui(&op);
    Controls& c = controls();
    test::confirmConfiguration(*tool, link::kProtocolCan);
    installActions();
    wakePack();
    tool->functionTest.reportFolder = [this] { return reports.path() + QLatin1Char('/'); };
    c.setText(fctl::EditEVTWorkNumber, QStringLiteral("WN-01"));
    c.setText(fctl::Edit_EVTBarcode, QStringLiteral("BC-0001"));
    c.setText(fctl::EditEVTT1, QStringLiteral("25"));
  }
  ~FunctionTestRig() {
    op.holdWhenEmpty(false);
    tool->services.workers.joinAll();
    tool->services.setGui(nullptr);
    keepAliveOn_ = false;
    if (keepAlive_.joinable()) keepAlive_.join();
  }

  Controls& controls() { return tool->services.controls; }
  // The pack broadcasts once it has heard from the PC; the run's keep-alive would wake it a few polls late.
  void wakePack() {
    std::thread([this] {
      if (!link().OpenAdapter()) return;
      link::CanSendWords(link(), link::kCanKeepAlive, 0, 0);
      link().CloseAdapter();
    }).join();
    adapter->clearWritten();
  }
  link::Link& link() { return tool->link; }
  void writeIni(const EvtIni& ini) { ASSERT_TRUE(ScopedCurrentFolder::write("EVT.ini", ini.text())); }

  void click() { tool->FormMain.onEvent(fctl::SpdBtn_EVTTest, UiEvent::Click); }
  // A whole run from TEST to its end.
  void run() {
    click();
    ASSERT_TRUE(waitFor([&] { return !tool->functionTest.active(); }));
    tool->services.workers.joinAll();
  }
  QStringList memo() { return controls().items(fctl::MemoLog); }
  // The memo's lines from the first that starts with `from`, `count` of them.
  QStringList memoFrom(const QString& from, int count) {
    const QStringList lines = memo();
    for (qsizetype i = 0; i < lines.size(); ++i) {
      if (lines[i].startsWith(from)) return lines.mid(i, count);
    }
    return {};
  }
  QStringList failLines() {
    const mainwindow::EvtTest e = tool->state.records.EVT_TEST.snapshot();
    QStringList lines;
    for (int i = 1; i <= e.FailLinesStored(); ++i) lines << e.FailLines[static_cast<size_t>(i)];
    return lines;
  }

  std::shared_ptr<sim::SimAdapter> adapter;
  std::shared_ptr<sim::CanPack> pack;
  std::unique_ptr<app::ServiceTool> tool;
  ScriptedOperator op;
  ScopedCurrentFolder folder;
  QTemporaryDir reports;
  std::atomic<int> deepSleeps{0};

 private:
  void installActions() {
    production::FunctionTestActions& a = tool->functionTest.actions;
    // The timer switched on as the program does, and a sender in its place, as the display would run it.
    a.keepAlive = [this, timer = a.keepAlive](bool on) {
      if (timer) timer(on);
      if (!on || keepAliveOn_.exchange(true)) return;
      keepAlive_ = std::thread([this] {
        while (keepAliveOn_) {
          if (link().AdapterHandle.load() != 0) link::CanSendWords(link(), link::kCanKeepAlive, 0, 0);
          platform::sleepMs(100);
        }
      });
    };
    // The CAN service commands are the program's own (the composition's); the deep sleep is counted on its way.
    a.deepSleep = [this, deepSleep = a.deepSleep] {
      ++deepSleeps;
      if (deepSleep) deepSleep();
    };
    reads_ = std::make_unique<production::FunctionTestReads>(link(), tool->canAnswerCounts, tool->state.RunFlag);
    a.readBarcode32 = [this] {
      bool all = true;
      for (uint16_t i = 1; i <= 4; ++i) all = reads_->ReadCan(link::msg::kBarcode32, i, 5) && all;
      return all;
    };
    a.readBarcode16 = [this] {
      bool all = true;
      for (uint16_t i = 1; i <= 2; ++i) all = reads_->ReadCan(link::msg::kBarcode16, i, 3) && all;
      return all;
    };
  }

  ScopedTimeScale fast_;
  std::atomic<bool> keepAliveOn_{false};
  std::thread keepAlive_;
  std::unique_ptr<production::FunctionTestReads> reads_;
};

}  // namespace qv::test
