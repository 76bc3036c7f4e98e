// Shows the main window as an operator sees it after the first use, and saves it as a PNG:
// the program started as VELMO_ENG, " Configure ", the protocol ("UR" unless told), "Scan", "Yes", and with
// --run also RUN, a few seconds of monitoring before the picture is taken; --log ticks "Log file save" first, so
// that monitoring writes its log where the program writes its files (the install test runs it so).
//   quvexa_screenshot <folder of the executables> <out.png> [UR|CAN] [--run] [--log]
// QUVEXA_ADAPTER chooses the adapter (./dev screenshot sets "sim").

#include "app/DriverSelect.h"
#include "app/WindowedTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "platform/ExeInfo.h"
#include "platform/gui/Look.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QRadioButton>

#include <cstdio>
#include <functional>

namespace {

using qv::app::WindowedTool;

void settle(int ms = 100) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Waits (processing events) until the condition holds; false after the time-out.
bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!condition()) {
    if (t.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

QAbstractButton* button(WindowedTool& program, qv::Control form, qv::Control control) {
  qv::gui::FormWindow* window = program.display.window(form);
  return window != nullptr ? qobject_cast<QAbstractButton*>(window->widget(control)) : nullptr;
}

bool click(QAbstractButton* b, const char* what) {
  if (b == nullptr || !b->isEnabled() || !b->isVisible()) {
    std::fprintf(stderr, "screenshot: %s cannot be clicked\n", what);
    return false;
  }
  b->click();
  settle();
  return true;
}

QRadioButton* protocolChoice(WindowedTool& program, const QString& item) {
  QWidget* group = program.display.window(qv::link::ctl::FormConfig)->widget(qv::link::ctl::RadioGroup_Protocol);
  for (QRadioButton* radio : group->findChildren<QRadioButton*>()) {
    if (radio->text() == item) return radio;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  QString protocol = QStringLiteral("UR");
  bool run = false;
  bool log = false;
  for (int i = 3; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg == QLatin1String("--run")) run = true;
    else if (arg == QLatin1String("--log")) log = true;
    else if (arg == QLatin1String("UR") || arg == QLatin1String("CAN")) protocol = arg;
    else argc = 0;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: quvexa_screenshot <folder of the executables> <out.png> [UR|CAN] [--run] [--log]\n");
    return 2;
  }
  qv::platform::initExeInfo((QByteArray(argv[1]) + "/VELMO_ENG").constData());
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quvexa BMS Monitor"));
  qv::gui::setUpLook(application);

  WindowedTool program(qv::app::makeDriverFromEnvironment());
  program.showMainWindow();
  settle(300);

  if (program.display.window(qv::link::ctl::FormConfig) == nullptr) {
    std::fprintf(stderr, "screenshot: the program has no configuration dialog\n");
    return 1;
  }
  if (!click(button(program, qv::mainwindow::ctl::FormMain, qv::mainwindow::ctl::SpdBtnConfigure), "\" Configure \""))
    return 1;
  if (!click(protocolChoice(program, protocol), "the protocol")) return 1;
  if (log && !click(button(program, qv::link::ctl::FormConfig, qv::link::ctl::CheckBoxLogFileSave), "\"Log file save\"")) return 1;
  if (!click(button(program, qv::link::ctl::FormConfig, qv::link::ctl::SpdBtnSCAN), "\"Scan\"")) return 1;
  QAbstractButton* yes = button(program, qv::link::ctl::FormConfig, qv::link::ctl::SpdBtnYES);
  QAbstractButton* scan = button(program, qv::link::ctl::FormConfig, qv::link::ctl::SpdBtnSCAN);
  if (!waitFor([&] { return yes->isEnabled() && scan->text() == QLatin1String("Scan"); }, 10000)) {
    std::fprintf(stderr, "screenshot: the scan found no adapter to confirm\n");
    return 1;
  }
  if (!click(yes, "\"Yes\"")) return 1;
  settle(300);
  if (run) {
    if (!click(button(program, qv::mainwindow::ctl::FormMain, qv::mainwindow::ctl::SpdBtnRUN), "\"RUN\"")) return 1;
    settle(4000);
  }

  const QPixmap shot = program.mainWindow().grab();
  if (!shot.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "screenshot: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
