#include "platform/gui/Display.h"

#include "platform/Checks.h"

#include <QThread>

#include <stdexcept>

namespace qv::gui {

Display::Display(Controls& controls) : controls_(controls) { controls_.setObserver(this); }

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
  for (const std::string& key : controls_.takeChanged()) {
    auto it = windowOfKey_.find(key);
    if (it != windowOfKey_.end()) it->second->apply(key);
  }
}

void Display::controlsChanged() {
  // Called under the store's lock from whichever thread wrote: only post, never touch the store or a widget.
  QMetaObject::invokeMethod(this, &Display::flush, Qt::QueuedConnection);
}

}  // namespace qv::gui
