#include "app/Entry.h"

#include "app/DriverSelect.h"
#include "app/WindowedTool.h"
#include "platform/ExeInfo.h"
#include "platform/Text.h"
#include "platform/gui/Look.h"

#include <QApplication>

#include <cstdio>
#include <exception>

namespace qv::app {

int run(int argc, char** argv) {
  platform::initExeInfo(argc > 0 ? argv[0] : nullptr);
  // The Function Test writes its Traditional Chinese texts to files in Big5; without it they become "?".
  if (!platform::big5Available())
    std::fprintf(stderr, "Big5 text encoder not available: Chinese texts are written as \"?\".\n");
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quvexa BMS Monitor"));
  // The main window's close ends the program; hiding it (for the firmware window) does not.
  QApplication::setQuitOnLastWindowClosed(false);
  gui::setUpLook(application);
  if (platform::writesToDataFolder()) {
    std::fprintf(stderr, "quvexa: logs, saves and reports go to %s\n",
                 platform::writeFolder().toLocal8Bit().constData());
  }
  try {
    WindowedTool program(makeDriverFromEnvironment());
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
