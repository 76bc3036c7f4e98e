#pragma once
// The display: the windows of the program, built from their forms, mirroring the control store. A change to the
// store, from any thread, asks for a flush on the GUI thread; the flush shows every control changed since the
// last one. Flushes come at most kFlushesPerSecond times a second, as often as a person can follow: a change
// after a quiet spell is shown at once, a stream of changes (a worker polling the pack, the lamps of a busy bus)
// in one flush per period. No widget is touched off the GUI thread.

#include "platform/Controls.h"
#include "platform/Form.h"
#include "platform/gui/FormWindow.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace qv::gui {

class Display : public QObject, public Controls::Observer {
 public:
  static constexpr int kFlushesPerSecond = 30;
  static constexpr int kFlushPeriodMs = 1000 / kFlushesPerSecond;

  explicit Display(Controls& controls);
  ~Display() override;
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  // Builds the window of a form whose controls are declared in the store, showing their present state.
  FormWindow& addWindow(FormLogic& logic);
  FormWindow* window(Control form) const;

  // Shows what changed since the last flush, now. GUI thread; the display calls it itself, paced as above.
  void flush();
  // A change of the store waits to be shown (a flush is asked for and has not run yet, or a held window has
  // changes kept for it). Any thread.
  bool pending() const { return pending_.load() || kept_.load(); }
  // Flushes so far.
  uint64_t flushes() const { return flushes_; }

  void controlsChanged() override;

  // While a window is drawn for paper over several turns of the message loop, it must go on showing the state it
  // had when the drawing began: its changes are kept (and its lamps keep their blink) until it is released, then
  // shown by the next flush. The other windows go on following the store. Holds on one window nest. GUI thread.
  void hold(const FormWindow* window);
  void release(const FormWindow* window);

 private:
  // GUI thread: flushes now, or once the period since the last flush is over.
  void schedule();
  // GUI thread: the next flush in ms.
  void arm(int ms);

  bool held(const FormWindow* window) const { return holds_.contains(window); }

  Controls& controls_;
  std::vector<std::unique_ptr<FormWindow>> windows_;
  std::unordered_map<std::string, FormWindow*> windowOfKey_;
  QTimer timer_;  // the next flush, when one came too soon after the last
  QElapsedTimer sinceFlush_;
  std::atomic<bool> pending_{false};
  std::atomic<bool> armed_{false};  // the timer will flush: a change needs no post of its own
  std::unordered_map<const FormWindow*, int> holds_;
  std::unordered_set<std::string> keptKeys_;  // changed while their window was held
  std::atomic<bool> kept_{false};             // keptKeys_ is not empty
  uint64_t flushes_ = 0;
  bool lastHadChanges_ = false;
};

}  // namespace qv::gui
