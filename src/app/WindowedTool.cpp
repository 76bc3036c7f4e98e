#include "app/WindowedTool.h"

#include "mainwindow/MainFormControls.h"

#include <QCoreApplication>

namespace qv::app {

WindowedTool::WindowedTool(std::unique_ptr<platform::Driver> driver)
    : tool(std::move(driver)),
      display(tool.services.controls),
      gui(display, mainwindow::ctl::FormMain, tool.services.workers) {
  for (FormLogic* window : tool.windows()) display.addWindow(*window);
  tool.services.setGui(&gui);
}

WindowedTool::~WindowedTool() {
  gui.refuseBoxes();
  tool.stopWorkers([] { QCoreApplication::processEvents(); });
  tool.services.setGui(nullptr);
}

void WindowedTool::showMainWindow() {
  tool.services.controls.setVisible(mainwindow::ctl::FormMain, true);
  display.flush();
}

}  // namespace qv::app
