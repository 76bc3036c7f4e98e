#pragma once
// The display's answers to what the logic asks beyond the controls' state: Yes/No boxes owned by the main
// window, the print dialog and the printing of a whole window, the open-file dialog, closing a window.

#include "platform/GuiRequests.h"
#include "platform/Workers.h"
#include "platform/gui/Display.h"

#include <QImage>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>

class QPrinter;

namespace qv::gui {

class WidgetGui : public QObject, public platform::GuiRequests {
 public:
  // The main window (the owner of the boxes) is the display's window of this form; a confirmed print is put on
  // paper by one of the workers.
  WidgetGui(Display& display, Control mainForm, platform::Workers& workers);
  ~WidgetGui() override;

  // From the GUI thread the box is shown at once; from a worker the GUI thread shows it while the worker waits.
  bool askYesNo(const QString& caption, const QString& text) override;
  bool printWindow(Control form) override;
  void showModal(Control form, int height) override;
  QString chooseFileToOpen(const QString& filter) override;
  void closeWindow(Control form) override;

  // Prints the whole client area of a window onto one page of the printer, scaled to fit. GUI thread, at once.
  // True when the window exists and the printer took the page.
  bool printWindowTo(Control form, QPrinter* printer);

  // How a page went: whether it reached the printer, and what it cost the GUI thread.
  struct PrintReport {
    bool printed = false;
    double longestSliceMs = 0;  // the longest the GUI thread spent on the page in one turn of its message loop
    double wholeMs = 0;         // from the start until the page was written or given up
  };
  using PrintDone = std::function<void(const PrintReport&)>;
  // The same for a printer the operator has chosen, without keeping the message loop waiting: the window is
  // drawn on the GUI thread a band per turn of the loop (showing the store's state of when this was called
  // meanwhile), then a worker puts the page on the printer and keeps the printer until it is done. True when the
  // window exists and its drawing has begun. A window closed or hidden before its picture is finished prints
  // nothing. `done` is called once: by the worker once the page is written (a printer that refuses it is also
  // reported on standard error), or on the GUI thread when nothing was printed; not once this object is gone.
  bool printWindowOnWorker(Control form, std::shared_ptr<QPrinter> printer, PrintDone done = {});

  // The window's client area as a picture for paper: twice its size, so that its text stays sharp. GUI
  // thread, at once. A null image when the display has no such window.
  QImage windowImage(Control form);
  // The same picture drawn a band per turn of the message loop, as the store was when this was called (the
  // window's flushes are held meanwhile); `done` gets it on the GUI thread with the longest turn it took, or a
  // null picture when the window was closed or hidden first. False (and no call) when there is no such window.
  using PictureDone = std::function<void(const QImage& picture, double longestSliceMs)>;
  bool drawWindowImage(Control form, PictureDone done);
  // Puts the picture on one page of the printer, scaled to fit. Any thread, one printer at a time.
  static bool printImage(const QImage& image, QPrinter* printer);

  // The program is closing: boxes asked from now on (or waiting to be shown) are answered No unseen, so that a
  // worker waiting for one can finish and be joined.
  void refuseBoxes() { refusing_.store(true); }

 private:
  struct PageDrawing;

  bool showYesNo(const QString& caption, const QString& text);
  // One band of the first picture being drawn; the next one's on the next turn of the message loop.
  void drawBand();

  Display& display_;
  Control mainForm_;
  platform::Workers& workers_;
  std::atomic<bool> refusing_{false};
  std::deque<std::unique_ptr<PageDrawing>> drawings_;  // in the order they were asked for
  QTimer bandTimer_;
};

// "Hex Files [*.hex]|*.hex" (description and pattern pairs separated by '|') as a dialog's name filter.
QString dialogFilter(const QString& filter);

}  // namespace qv::gui
