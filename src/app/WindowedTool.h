#pragma once
// The program with its display: the service tool, the windows the display builds over its nine window logics
// in their order, and the display's answers to the logic's requests.

#include "app/ServiceTool.h"
#include "platform/gui/Display.h"
#include "platform/gui/WidgetGui.h"

#include "mainwindow/MainFormControls.h"

#include <memory>

namespace qv::app {

class WindowedTool {
 public:
  explicit WindowedTool(std::unique_ptr<platform::Driver> driver);
  // The program is closing: boxes are refused, the workers stop while the GUI thread still answers them, and
  // the display is taken off the services before it goes.
  ~WindowedTool();
  WindowedTool(const WindowedTool&) = delete;
  WindowedTool& operator=(const WindowedTool&) = delete;

  // Shows the main window, as the message loop's start does.
  void showMainWindow();
  gui::FormWindow& mainWindow() { return *display.window(mainwindow::ctl::FormMain); }

  ServiceTool tool;
  gui::Display display;
  gui::WidgetGui gui;
};

}  // namespace qv::app
