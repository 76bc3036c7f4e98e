#pragma once
// What the logic asks of the display that is not a control's state: message boxes, the print dialog, the
// open-file dialog. The windows provide the real ones; without a display (tests, a headless run) a scripted or
// refusing one stands in.

#include "platform/ControlName.h"

#include <QString>

namespace qv::platform {

class GuiRequests {
 public:
  virtual ~GuiRequests() = default;
  // A Yes/No box owned by the main window. From any thread; blocks the caller until the operator answers, so
  // the caller must hold no lock.
  virtual bool askYesNo(const QString& caption, const QString& text) = 0;
  // Runs the print dialog and, when the operator confirms, prints the whole window (the page is drawn on the GUI
  // thread and put on the printer by a worker). GUI thread. True when the page went to the printer.
  virtual bool printWindow(Control form) = 0;
  // Shows a window (the store already says it is visible) at that height, its client scrolling, and keeps the
  // other windows from input until the operator closes it. GUI thread; returns once it is closed. Without a
  // display there is nothing to show and it returns at once.
  virtual void showModal(Control /*form*/, int /*height*/) {}
  // Runs the open-file dialog; the chosen file's path, or empty when cancelled. GUI thread.
  virtual QString chooseFileToOpen(const QString& filter) = 0;
  // Closes a window as its close box does (the main window's close ends the program). GUI thread. Without a
  // display there is no window to close.
  virtual void closeWindow(Control /*form*/) {}
};

// Stands in where no display exists: every box is answered No, nothing is printed, no file is chosen.
class NoGui : public GuiRequests {
 public:
  bool askYesNo(const QString&, const QString&) override { return false; }
  bool printWindow(Control) override { return false; }
  QString chooseFileToOpen(const QString&) override { return {}; }
};

}  // namespace qv::platform
