#include "app/Entry.h"

#include "app/WindowedTool.h"
#include "platform/ExeInfo.h"
#include "platform/gui/Look.h"
#include "platform/select/DriverSelect.h"

#include <QApplication>

#include <exception>

namespace qv::app {

int run(int argc, char** argv) {
  platform::initExeInfo(argc > 0 ? argv[0] : nullptr);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quvexa BMS Monitor"));
  // The main window's close ends the program; hiding it (for the firmware window) does not.
  QApplication::setQuitOnLastWindowClosed(false);
  gui::setUpLook(application);
  try {
    WindowedTool program(platform::makeDriverFromEnvironment());
    QObject::connect(&program.mainWindow(), &gui::FormWindow::closed, &application, &QApplication::quit);
    program.showMainWindow();
    QApplication::exec();
    return 0;
  } catch (const std::exception& e) {
    gui::showException(nullptr, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    gui::showException(nullptr, QString());
  }
  return 1;
}

}  // namespace qv::app
