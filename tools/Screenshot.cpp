// Shows the main window as an operator sees it after the first use, and saves it as a PNG:
// the program started as VELMO_ENG, " Configure ", the protocol ("UR" unless told), "Scan", "Yes", and with
// --run also RUN, a few seconds of monitoring before the picture is taken; --log ticks "Log file save" first, so
// that monitoring writes its log where the program writes its files (the install test runs it so).
// --window NAME pictures that window instead (FormEEPROM, FormConfig, ...), shown as its opener would show it;
// --page NAME shows and selects that page of its window (TabSheet_EVT, TabSheetLEAD, ...), pages that no profile
// shows included, and pictures the window; --type NAME=TEXT types the text into that edit key by key, as the
// operator would, so that the picture shows what the edit took.
//   quvexa_screenshot <folder of the executables> <out.png> [UR|CAN] [--run] [--log] [--window NAME]
//                     [--page NAME] [--type NAME=TEXT]...
// QUVEXA_ADAPTER chooses the adapter (./dev screenshot sets "sim").

#include "OperatorSteps.h"
#include "app/DriverSelect.h"
#include "app/WindowedTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "platform/ExeInfo.h"
#include "platform/gui/Look.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>

#include <cstdio>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

namespace {

using qv::app::WindowedTool;
using qv::tools::button;
using qv::tools::click;
using qv::tools::firstUse;
using qv::tools::settle;
using qv::tools::waitFor;

// A control of a form by its name: its store key, or the widget's name of a keyed one.
bool named(qv::Control control, const QString& name) {
  return QString::fromUtf8(control.c_str()) == name || qv::gui::objectNameFor(control.key()) == name;
}

qv::FormLogic* windowNamed(WindowedTool& program, const QString& name) {
  for (qv::FormLogic* logic : program.tool.windows()) {
    if (named(logic->form().name, name)) return logic;
  }
  return nullptr;
}

// The window that holds the page, its page shown and selected; null when no window has such a page.
qv::FormLogic* showPage(WindowedTool& program, const QString& name) {
  qv::Controls& controls = program.tool.services.controls;
  for (qv::FormLogic* logic : program.tool.windows()) {
    const qv::FormDef& form = logic->form();
    const qv::ControlDef* page = nullptr;
    for (const qv::ControlDef& def : form.controls) {
      if (def.kind == qv::Kind::TabSheet && named(def.name, name)) page = &def;
    }
    if (page == nullptr) continue;
    controls.setVisible(page->name, true);
    controls.setVisible(page->parent, true);
    // The page control's index counts the tabs shown.
    int index = 0;
    for (const qv::ControlDef& def : form.controls) {
      if (def.kind != qv::Kind::TabSheet || !(def.parent == page->parent)) continue;
      if (def.name == page->name) break;
      if (controls.visible(def.name)) ++index;
    }
    controls.setItemIndex(page->parent, index);
    return logic;
  }
  return nullptr;
}

// Types the text into the edit of that name key by key; false when the window has no such edit.
bool type(qv::gui::FormWindow& window, const QString& name, const QString& text) {
  auto* edit = window.findChild<QLineEdit*>(name);
  if (edit == nullptr) return false;
  edit->setFocus();
  for (const QChar key : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(key));
    QApplication::sendEvent(edit, &press);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QString protocol = QStringLiteral("UR");
  bool run = false;
  bool log = false;
  QString windowName, pageName;
  std::vector<std::pair<QString, QString>> typed;
  for (int i = 3; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    const bool valued = i + 1 < argc;
    if (arg == QLatin1String("--run")) run = true;
    else if (arg == QLatin1String("--log")) log = true;
    else if (arg == QLatin1String("UR") || arg == QLatin1String("CAN")) protocol = arg;
    else if (arg == QLatin1String("--window") && valued) windowName = QString::fromLocal8Bit(argv[++i]);
    else if (arg == QLatin1String("--page") && valued) pageName = QString::fromLocal8Bit(argv[++i]);
    else if (arg == QLatin1String("--type") && valued && std::strchr(argv[i + 1], '=') != nullptr) {
      const QString pair = QString::fromLocal8Bit(argv[++i]);
      const qsizetype eq = pair.indexOf(QLatin1Char('='));
      typed.emplace_back(pair.left(eq), pair.mid(eq + 1));
    } else {
      argc = 0;
    }
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: quvexa_screenshot <folder of the executables> <out.png> [UR|CAN] [--run] [--log] "
                         "[--window NAME] [--page NAME] [--type NAME=TEXT]...\n");
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
  if (!firstUse("screenshot", program, protocol, log, 10000)) return 1;
  if (run) {
    if (!click("screenshot", button(program, qv::mainwindow::ctl::FormMain, qv::mainwindow::ctl::SpdBtnRUN), "\"RUN\""))
      return 1;
    settle(4000);
  }

  qv::FormLogic* shown = &program.tool.FormMain;
  if (!windowName.isEmpty()) {
    shown = windowNamed(program, windowName);
    if (shown == nullptr) {
      std::fprintf(stderr, "screenshot: no window %s\n", qPrintable(windowName));
      return 1;
    }
  }
  if (!pageName.isEmpty()) {
    qv::FormLogic* holder = showPage(program, pageName);
    if (holder == nullptr || (!windowName.isEmpty() && holder != shown)) {
      std::fprintf(stderr, "screenshot: no page %s%s%s\n", qPrintable(pageName), windowName.isEmpty() ? "" : " in ",
                   qPrintable(windowName));
      return 1;
    }
    shown = holder;
  }
  program.tool.services.controls.setVisible(shown->form().name, true);
  program.display.flush();
  settle(300);
  qv::gui::FormWindow* window = program.display.window(shown->form().name);
  for (const auto& [name, text] : typed) {
    if (!type(*window, name, text)) {
      std::fprintf(stderr, "screenshot: %s has no edit %s\n", shown->form().name.c_str(), qPrintable(name));
      return 1;
    }
  }
  program.display.flush();
  settle(300);

  const QPixmap shot = window->grab();
  if (!shot.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "screenshot: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
