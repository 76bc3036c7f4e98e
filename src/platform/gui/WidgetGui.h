#pragma once
// The display's answers to what the logic asks beyond the controls' state: Yes/No boxes owned by the main
// window, the print dialog and the printing of a whole window, the open-file dialog, closing a window.

#include "platform/GuiRequests.h"
#include "platform/Workers.h"
#include "platform/gui/Display.h"

#include <QImage>
#include <QObject>

#include <atomic>
#include <memory>

class QPrinter;

namespace qv::gui {

class WidgetGui : public QObject, public platform::GuiRequests {
 public:
  // The main window (the owner of the boxes) is the display's window of this form; a confirmed print is put on
  // paper by one of the workers.
  WidgetGui(Display& display, Control mainForm, platform::Workers& workers);

  // From the GUI thread the box is shown at once; from a worker the GUI thread shows it while the worker waits.
  bool askYesNo(const QString& caption, const QString& text) override;
  bool printWindow(Control form) override;
  void showModal(Control form, int height) override;
  QString chooseFileToOpen(const QString& filter) override;
  void closeWindow(Control form) override;

  // Prints the whole client area of a window onto one page of the printer, scaled to fit. GUI thread. True when
  // the window exists and the printer took the page.
  bool printWindowTo(Control form, QPrinter* printer);
  // The same for a printer the operator has chosen: the window is drawn here, on the GUI thread, and the page is
  // put on the printer by a worker, so the GUI thread does not wait for the printer. True when the window exists
  // and its page went to the worker; a printer that then refuses the page is reported on standard error.
  bool printWindowOnWorker(Control form, std::shared_ptr<QPrinter> printer);

  // The window's client area as a picture for paper: twice its size, so that its text stays sharp. GUI
  // thread. A null image when the display has no such window.
  QImage windowImage(Control form);
  // Puts the picture on one page of the printer, scaled to fit. Any thread, one printer at a time.
  static bool printImage(const QImage& image, QPrinter* printer);

  // The program is closing: boxes asked from now on (or waiting to be shown) are answered No unseen, so that a
  // worker waiting for one can finish and be joined.
  void refuseBoxes() { refusing_.store(true); }

 private:
  bool showYesNo(const QString& caption, const QString& text);

  Display& display_;
  Control mainForm_;
  platform::Workers& workers_;
  std::atomic<bool> refusing_{false};
};

// "Hex Files [*.hex]|*.hex" (description and pattern pairs separated by '|') as a dialog's name filter.
QString dialogFilter(const QString& filter);

}  // namespace qv::gui
