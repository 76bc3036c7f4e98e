#include "platform/gui/Display.h"

#include "platform/Checks.h"

#include <QThread>

#include <algorithm>
#include <stdexcept>

namespace qv::gui {

Display::Display(Controls& controls) : controls_(controls) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] {
    // A flush that had to wait for its period means changes come in a stream: the next one is due a period on.
    flush();
    if (lastHadChanges_ && !timer_.isActive()) arm(kFlushPeriodMs);
  });
  controls_.setObserver(this);
}

Display::~Display() {
  // Under the store's lock: once this returns no writer can be asking for a flush any more.
  controls_.setObserver(nullptr);
}

FormWindow& Display::addWindow(FormLogic& logic) {
  auto window = std::make_unique<FormWindow>(controls_, logic);
  for (const std::string& key : window->keys()) {
    if (!windowOfKey_.emplace(key, window.get()).second)
      throw std::logic_error("control " + key + " belongs to two windows; qualify one as Window." + key);
  }
  windows_.push_back(std::move(window));
  return *windows_.back();
}

FormWindow* Display::window(Control form) const {
  for (const auto& w : windows_) {
    if (form == w->form().name) return w.get();
  }
  return nullptr;
}

void Display::flush() {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  timer_.stop();
  sinceFlush_.start();
  ++flushes_;
  // Both down before the changes are taken: a change after the take asks for the next flush.
  armed_.store(false);
  pending_.store(false);
  std::vector<std::string> changed = controls_.takeChanged();
  lastHadChanges_ = !changed.empty();
  // What was kept for a window that is no longer held is shown now, with what came since.
  std::erase_if(keptKeys_, [&](const std::string& key) {
    if (held(windowOfKey_.at(key))) return false;
    if (std::find(changed.begin(), changed.end(), key) == changed.end()) changed.push_back(key);
    return true;
  });
  for (const auto& w : windows_) {
    if (!held(w.get())) w->beginFlush();
  }
  for (const std::string& key : changed) {
    auto it = windowOfKey_.find(key);
    if (it == windowOfKey_.end()) continue;
    if (held(it->second)) {
      keptKeys_.insert(key);
    } else {
      it->second->apply(key);
    }
  }
  kept_.store(!keptKeys_.empty());
  bool blinking = false;
  for (const auto& w : windows_) {
    if (!held(w.get())) blinking = w->endFlush() || blinking;
  }
  // A lamp showing a blink goes back to the store's colour at the next flush, changes or not. While a stream of
  // changes lasts (see the timer), the changes meanwhile wait for that flush without waking the GUI thread.
  if (blinking) arm(kFlushPeriodMs);
}

void Display::hold(const FormWindow* window) {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  ++holds_[window];
}

void Display::release(const FormWindow* window) {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  auto it = holds_.find(window);
  if (it == holds_.end() || --it->second > 0) return;
  holds_.erase(it);
  // A flush of its own, on the next turn of the message loop: it shows what was kept and ends the blinks the
  // window kept, even if the store does not change again.
  pending_.store(true);
  QMetaObject::invokeMethod(this, &Display::schedule, Qt::QueuedConnection);
}

void Display::arm(int ms) {
  armed_.store(true);
  timer_.start(ms);
}

void Display::schedule() {
  if (!pending_.load() || timer_.isActive()) return;
  const qint64 since = sinceFlush_.isValid() ? sinceFlush_.elapsed() : kFlushPeriodMs;
  if (since >= kFlushPeriodMs) {
    flush();
  } else {
    arm(static_cast<int>(kFlushPeriodMs - since));
  }
}

void Display::controlsChanged() {
  // Called under the store's lock from whichever thread wrote: only post, never touch the store or a widget.
  pending_.store(true);
  if (armed_.load()) return;  // the flush that is due takes this change
  QMetaObject::invokeMethod(this, &Display::schedule, Qt::QueuedConnection);
}

}  // namespace qv::gui
