#pragma once
// The display's answers to what the logic asks beyond the controls' state: Yes/No boxes owned by the main
// window, the print dialog and the printing of a whole window, the open-file dialog, closing a window.

#include "platform/GuiRequests.h"
#include "platform/gui/Display.h"

#include <QObject>

#include <atomic>

class QPrinter;

namespace qv::gui {

class WidgetGui : public QObject, public platform::GuiRequests {
 public:
  // The main window (the owner of the boxes) is the display's window of this form.
  WidgetGui(Display& display, Control mainForm);

  // From the GUI thread the box is shown at once; from a worker the GUI thread shows it while the worker waits.
  bool askYesNo(const QString& caption, const QString& text) override;
  bool printWindow(Control form) override;
  QString chooseFileToOpen(const QString& filter) override;
  void closeWindow(Control form) override;

  // Prints the whole client area of a window onto one page of the printer, scaled to fit. GUI thread. True when
  // the window exists and the printer took the page.
  bool printWindowTo(Control form, QPrinter* printer);

  // The program is closing: boxes asked from now on (or waiting to be shown) are answered No unseen, so that a
  // worker waiting for one can finish and be joined.
  void refuseBoxes() { refusing_.store(true); }

 private:
  bool showYesNo(const QString& caption, const QString& text);

  Display& display_;
  Control mainForm_;
  std::atomic<bool> refusing_{false};
};

// "Hex Files [*.hex]|*.hex" (description and pattern pairs separated by '|') as a dialog's name filter.
QString dialogFilter(const QString& filter);

}  // namespace qv::gui
