#pragma once
// One run of the Function Test: its step number, its adapter and the lines it writes. The start, the writing
// steps and the end are in FunctionTest.cpp, the check items in FunctionTestItems.cpp; nothing else includes
// this.

#include "link/PackMessages.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/SharedRecords.h"
#include "platform/Text.h"
#include "production/FunctionTest.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace qv::production {

class FunctionTest::Run {
 public:
  static constexpr int kMessagePanel = 2;  // status bar panel of the passing messages

  explicit Run(FunctionTest& test)
      : t_(test),
        c_(test.services_.controls),
        link_(test.link_),
        state_(test.state_),
        records_(test.state_.records),
        reads_(test.link_, test.counts_, test.state_.RunFlag) {}

  // A run that is left by an exception still gives the adapter back.
  ~Run() {
    session_.reset();
    if (opened_ && !closed_) link_.CloseAdapter();
  }

  void go() {
    if (Start() && Steps()) Checks();
    End();
  }

 private:
  using EvtTest = mainwindow::EvtTest;
  using EvtTestSet = mainwindow::EvtTestSet;

  static QString num(long long n) { return QString::number(n); }
  static QString separator() { return QString(59, QLatin1Char('-')); }
  // A field's text as a number; none when it is not one.
  static std::optional<long long> numberOf(const QString& text) {
    long long n = 0;
    if (!qv::parseInt(text, &n)) return std::nullopt;
    return n;
  }
  // A text of the records (from EVT.ini or the pack) as the page shows it.
  template <size_t N>
  static QString fieldText(const std::array<char, N>& field) {
    return platform::big5Text(mainwindow::evtText(field));
  }

  bool flag() const { return state_.RunFlag.running(); }
  void stop() { state_.RunFlag.set(0); }
  void line(const QString& text) { c_.addItem(mainwindow::ctl::MemoLog, text); }
  // A step's title: the step number raised, then the title after it.
  void title(const QString& text) {
    ++step_;
    itemTitle(text);
  }
  // A failure line of the current step.
  void fail(const QString& text) {
    const QString l = num(step_) + QStringLiteral(".  ") + text;
    records_.EVT_TEST.with([&](EvtTest& e) { e.AddFailLine(l); });
  }
  // The result line of a step or item, and on NG its failure line.
  void result(bool pass, const QString& passLine, const QString& ngLine, const QString& failText) {
    line(pass ? passLine : ngLine);
    if (!pass) fail(failText);
  }
  void result(bool pass, const QString& stem, const QString& failText) {
    result(pass, stem + QStringLiteral("  ........  PASS"), stem + QStringLiteral("  ........  NG"), failText);
  }
  void phase(const QString& text) { c_.setText(mainwindow::ctl::PanelTestResult, text); }
  EvtTest test() const { return records_.EVT_TEST.snapshot(); }
  EvtTestSet set() const { return records_.EVT_TEST_SET.snapshot(); }
  bool receive();
  static bool call(const std::function<bool()>& f) { return f ? f() : false; }

  // The start, steps 1 to 9 and the end (FunctionTest.cpp); false when the run goes to its end.
  bool Start();
  bool Steps();
  QString adapterText() const;
  bool erase(bool on, const QString& header, const QString& stepTitle, const QString& stem,
             bool (*command)(link::Link&));
  bool ask(const QString& caption, const QString& text);
  void wakeUp();
  void End();

  // The check items (FunctionTestItems.cpp); false when a flag check ends the run.
  struct Range;
  struct RangeItem;
  void Checks();
  bool Repetition();
  // The item frame's opening: an empty line and the step number raised; and the item's title under it.
  void open() {
    line(QString());
    ++step_;
  }
  void itemTitle(const QString& text) { line(num(step_) + QStringLiteral(".  ") + text); }
  bool Barcode(const EvtTestSet& s);
  bool Clock(const EvtTestSet& s);
  bool Ranged(const RangeItem& item, const EvtTest& e);
  void rangeResult(const Range& r);
  bool Cells(const EvtTest& e);
  bool Balance(const EvtTest& e);
  bool Flags(const EvtTest& e);
  // Broadcasts of the pack since the run began (the fields they keep current are this pack's).
  void countBroadcasts();
  bool broadcastSince(uint32_t identifier) const;

  FunctionTest& t_;
  Controls& c_;
  link::Link& link_;
  mainwindow::MainState& state_;
  mainwindow::SharedRecords& records_;
  FunctionTestReads reads_;
  int step_ = 0;
  bool opened_ = false;
  bool closed_ = false;
  std::optional<link::CanSessionScope> session_;
  QString workNumber_;
  QString barcode_;
  static constexpr std::array<uint32_t, 3> kBroadcasts{link::kCanVoltageCurrent, link::kCanCapacity, link::kCanHealth};
  std::array<uint64_t, 3> broadcastsAtStart_{};
  bool cellsFresh_ = false;
};

}  // namespace qv::production
