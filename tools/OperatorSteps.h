#pragma once
// What the tools that drive the program's real window do as an operator would: wait with the events handled,
// click a button only when it could be clicked, and the first use (" Configure ", the protocol, "Scan", "Yes").
// Each message on standard error starts with the tool's own name.

#include "app/WindowedTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "platform/gui/FormWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QRadioButton>

#include <cstdio>
#include <functional>

namespace qv::tools {

inline void settle(int ms = 100) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Waits (processing events) until the condition holds; false after the time-out.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!condition()) {
    if (t.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

inline QAbstractButton* button(app::WindowedTool& program, Control form, Control control) {
  gui::FormWindow* window = program.display.window(form);
  return window != nullptr ? qobject_cast<QAbstractButton*>(window->widget(control)) : nullptr;
}

inline bool click(const char* tool, QAbstractButton* b, const char* what) {
  if (b == nullptr || !b->isEnabled() || !b->isVisible()) {
    std::fprintf(stderr, "%s: %s cannot be clicked (%s)\n", tool, what,
                 b == nullptr      ? "no button"
                 : !b->isEnabled() ? "disabled"
                                   : "not shown");
    return false;
  }
  b->click();
  settle();
  return true;
}

inline QRadioButton* protocolChoice(app::WindowedTool& program, const QString& item) {
  QWidget* group = program.display.window(link::ctl::FormConfig)->widget(link::ctl::RadioGroup_Protocol);
  for (QRadioButton* radio : group->findChildren<QRadioButton*>()) {
    if (radio->text() == item) return radio;
  }
  return nullptr;
}

// " Configure ", the protocol, "Log file save" when asked, "Scan", and "Yes" once the scan has found an adapter.
inline bool firstUse(const char* tool, app::WindowedTool& program, const QString& protocol, bool logFileSave,
                     int scanTimeoutMs) {
  namespace lctl = link::ctl;
  if (!click(tool, button(program, mainwindow::ctl::FormMain, mainwindow::ctl::SpdBtnConfigure), "\" Configure \"") ||
      !click(tool, protocolChoice(program, protocol), "the protocol")) {
    return false;
  }
  if (logFileSave && !click(tool, button(program, lctl::FormConfig, lctl::CheckBoxLogFileSave), "\"Log file save\"")) {
    return false;
  }
  if (!click(tool, button(program, lctl::FormConfig, lctl::SpdBtnSCAN), "\"Scan\"")) return false;
  QAbstractButton* yes = button(program, lctl::FormConfig, lctl::SpdBtnYES);
  QAbstractButton* scan = button(program, lctl::FormConfig, lctl::SpdBtnSCAN);
  if (!waitFor([&] { return yes->isEnabled() && scan->text() == QLatin1String("Scan"); }, scanTimeoutMs)) {
    std::fprintf(stderr, "%s: the scan found no adapter to confirm\n", tool);
    return false;
  }
  if (!click(tool, yes, "\"Yes\"")) return false;
  settle(300);
  return true;
}

}  // namespace qv::tools
