#include "app/Entry.h"

#include "platform/ExeInfo.h"
#include "platform/Services.h"
#include "platform/select/DriverSelect.h"

#include <QApplication>

namespace qv::app {

int run(int argc, char** argv) {
  platform::initExeInfo(argc > 0 ? argv[0] : nullptr);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quvexa BMS Monitor"));
  platform::Services services(platform::makeDriverFromEnvironment());
  return 0;
}

}  // namespace qv::app
