#include "commands/UrCommand.h"

#include "mainwindow/CommandSets.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Time.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace qv::commands {

namespace {

const QString kStopText = QStringLiteral("  SYS : < STOP >");

void setEnabled(Controls& controls, const std::vector<Control>& names, bool on) {
  for (Control name : names) controls.setEnabled(name, on);
}

}  // namespace

UrCommandRunner::UrCommandRunner(link::Link& link, StartWorker start)
    : link_(link), controls_(link.controls), start_(std::move(start)) {
  if (!start_) {
    start_ = [&workers = link.services.workers](std::string name, std::function<void()> fn) {
      workers.start(std::move(name), std::move(fn));
    };
  }
}

bool UrCommandRunner::Start(const UrCommandShape& shape, std::function<void()> worker) {
  for (Control button : shape.buttons) {
    if (!controls_.enabled(button)) return false;
  }

  // What the starter takes, so that a worker that cannot start gives back exactly that.
  std::vector<std::pair<Control, bool>> taken;
  for (Control name : shape.buttons) taken.emplace_back(name, controls_.enabled(name));
  for (Control name : mainwindow::CommandSet()) taken.emplace_back(name, controls_.enabled(name));

  setEnabled(controls_, shape.buttons, false);
  mainwindow::SetCommandButtonsEnabled(controls_, false);
  try {
    start_(shape.worker, std::move(worker));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s not started: %s\n", shape.worker, e.what());
    for (auto it = taken.rbegin(); it != taken.rend(); ++it) controls_.setEnabled(it->first, it->second);
    return false;
  }
  return true;
}

bool UrCommandRunner::Run(const UrCommandShape& shape, const UrExchange& exchange) {
  setEnabled(controls_, shape.buttons, false);
  mainwindow::SetCommandButtonsEnabled(controls_, false);
  platform::sleepMs(shape.sleepBeforeOpenMs);

  bool opened = false;
  // Whatever the exchange does, the adapter is closed and the buttons come back: a handle left open would
  // refuse every later session, and buttons left off would leave no way out but closing the program.
  try {
    opened = link_.OpenAdapter();
    if (opened) {
      const auto lock = link_.exchange();
      exchange(link_);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s ended by an exception: %s\n", shape.worker, e.what());
  } catch (...) {
    std::fprintf(stderr, "%s ended by an exception\n", shape.worker);
  }

  // After a failed open there is nothing of this command's to close: a handle that is live then belongs to
  // another session and must survive. The wait after the close is kept where the shape says.
  if (opened) link_.CloseAdapter();
  if (opened || shape.closeAfterFailedOpen) platform::sleepMs(shape.sleepAfterCloseMs);
  setEnabled(controls_, shape.buttons, true);
  setEnabled(controls_, shape.onAtEnd, true);
  if (shape.stopTextAtEnd) controls_.setPanel(mainwindow::ctl::StatusBarView, 0, kStopText);
  // Last: once the command set is back, the command is over.
  mainwindow::SetCommandButtonsEnabled(controls_, true);
  return opened;
}

}  // namespace qv::commands
