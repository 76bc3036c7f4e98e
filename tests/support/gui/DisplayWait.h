#pragma once
// The display follows the store at most about 30 times a second, so a widget looked at right after a change may
// not show it yet. This processes the GUI thread's events until the display has shown every change made so far
// (and what its flush itself set going); given up after 5 s. GUI tests only: it needs the display layer.

#include "platform/gui/Display.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <thread>

namespace qv::test {

inline bool waitForDisplay(gui::Display& display) {
  QElapsedTimer t;
  t.start();
  QCoreApplication::processEvents();
  while (display.pending()) {
    if (t.elapsed() > 5000) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    QCoreApplication::processEvents();
  }
  QCoreApplication::processEvents();
  return true;
}

}  // namespace qv::test
