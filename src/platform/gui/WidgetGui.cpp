#include "platform/gui/WidgetGui.h"

#include "platform/Checks.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <system_error>

namespace qv::gui {

WidgetGui::WidgetGui(Display& display, Control mainForm, platform::Workers& workers)
    : display_(display), mainForm_(mainForm), workers_(workers) {
  bandTimer_.setInterval(0);
  connect(&bandTimer_, &QTimer::timeout, this, &WidgetGui::drawBand);
  // The printing support (its plugin and the system's print service) is brought in here, as the program starts:
  // the first printer made for a print would otherwise keep the message loop waiting for it, 10 ms on an idle
  // machine and 25 ms on a loaded one. Later printers take a fraction of a millisecond.
  const QPrinter bringIn(QPrinter::HighResolution);
}

bool WidgetGui::showYesNo(const QString& caption, const QString& text) {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  if (refusing_.load()) return false;
  // The Function Test's confirmations: Yes and No and no icon; No for a key pressed without looking.
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No, display_.window(mainForm_));
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool WidgetGui::askYesNo(const QString& caption, const QString& text) {
  if (QThread::currentThread() == thread()) return showYesNo(caption, text);
  if (refusing_.load()) return false;
  bool yes = false;
  QMetaObject::invokeMethod(
      this, [&] { yes = showYesNo(caption, text); }, Qt::BlockingQueuedConnection);
  return yes;
}

bool WidgetGui::printWindow(Control form) {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
  QPrintDialog dialog(printer.get(), display_.window(mainForm_));
  if (dialog.exec() != QDialog::Accepted) return false;
  return printWindowOnWorker(form, std::move(printer));
}

void WidgetGui::showModal(Control form, int height) {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  FormWindow* window = display_.window(form);
  if (window == nullptr) return;
  display_.flush();  // the store has made it visible
  if (!window->isVisible()) return;
  const QRect screen = window->screen() != nullptr ? window->screen()->availableGeometry() : QRect();
  window->setFixedHeight(screen.isEmpty() ? height : std::min(height, screen.height()));
  window->setWindowModality(Qt::ApplicationModal);
  // The window becomes modal only when shown again.
  window->hide();
  window->show();
  // Until the window is gone, by its close box or because the store hid it.
  QEventLoop loop;
  struct HideWatch : QObject {
    QEventLoop* loop;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Hide) loop->quit();
      return false;
    }
  } watch;
  watch.loop = &loop;
  window->installEventFilter(&watch);
  loop.exec();
  window->removeEventFilter(&watch);
  window->setWindowModality(Qt::NonModal);
}

namespace {

constexpr int kSharpness = 2;
// Rows of the window drawn in one turn of the message loop: a band of the main window takes up to 2 ms on an
// idle machine (64 rows up to 5 ms), where the whole window at once took 34 ms, most of it bringing in a fresh
// picture's memory.
constexpr int kBandRows = 32;

double msSince(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

// The picture for a window's client area, white where nothing is drawn.
QImage newPicture(const QWidget* client) {
  QImage image(client->size() * kSharpness, QImage::Format_RGB32);
  image.setDevicePixelRatio(kSharpness);
  return image;
}

// Rows of the client drawn into their place in its picture. The picture's memory is first touched here, a band
// at a time: a fresh picture's pages cost more to bring in than its drawing does.
void drawRows(QWidget* client, QImage& image, int top, int rows) {
  const int first = top * kSharpness;
  const int last = std::min(image.height(), (top + rows) * kSharpness);
  if (first >= last) return;
  std::fill_n(reinterpret_cast<QRgb*>(image.scanLine(first)), static_cast<size_t>(last - first) * image.width(),
              qRgb(255, 255, 255));
  client->render(&image, QPoint(0, top), QRegion(0, top, client->width(), rows));
}

}  // namespace

struct WidgetGui::PageDrawing {
  PageDrawing(Display& display, FormWindow& window, PictureDone done)
      : display(display), held(&window), window(&window), wasVisible(window.isVisible()), done(std::move(done)) {
    display.hold(held);
  }
  ~PageDrawing() { display.release(held); }
  PageDrawing(const PageDrawing&) = delete;
  PageDrawing& operator=(const PageDrawing&) = delete;

  // Closed, or hidden by other means than the store (whose changes wait for the drawing).
  bool lost() const { return window == nullptr || (wasVisible && !window->isVisible()); }

  Display& display;
  const FormWindow* held;
  QPointer<FormWindow> window;
  bool wasVisible;
  PictureDone done;
  QImage image;
  int nextRow = 0;
  double longestSliceMs = 0;
};

WidgetGui::~WidgetGui() = default;

bool WidgetGui::drawWindowImage(Control form, PictureDone done) {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  QElapsedTimer slice;
  slice.start();
  FormWindow* window = display_.window(form);
  if (window == nullptr) return false;
  display_.flush();  // the picture is what the store holds now
  auto drawing = std::make_unique<PageDrawing>(display_, *window, std::move(done));
  drawing->image = newPicture(window->canvas());
  drawing->longestSliceMs = msSince(slice);
  drawings_.push_back(std::move(drawing));
  if (!bandTimer_.isActive()) bandTimer_.start();
  return true;
}

void WidgetGui::drawBand() {
  QElapsedTimer slice;
  slice.start();
  if (drawings_.empty()) return;
  std::unique_ptr<PageDrawing> finished;
  {
    PageDrawing& d = *drawings_.front();
    if (d.lost()) {
      d.image = QImage();
    } else {
      drawRows(d.window->canvas(), d.image, d.nextRow, kBandRows);
      d.nextRow += kBandRows;
    }
    d.longestSliceMs = std::max(d.longestSliceMs, msSince(slice));
    if (d.image.isNull() || d.nextRow >= d.image.deviceIndependentSize().height()) {
      finished = std::move(drawings_.front());
      drawings_.pop_front();
    }
  }
  if (drawings_.empty()) bandTimer_.stop();
  // Released before the picture is handed on: the window shows what it kept at the next flush.
  if (finished != nullptr) {
    const PictureDone done = std::move(finished->done);
    const QImage image = std::move(finished->image);
    const double longest = finished->longestSliceMs;
    finished.reset();
    if (done) done(image, longest);
  }
}

bool WidgetGui::printWindowOnWorker(Control form, std::shared_ptr<QPrinter> printer, PrintDone done) {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  if (printer == nullptr) return false;
  auto whole = std::make_shared<QElapsedTimer>();
  whole->start();
  return drawWindowImage(form, [this, printer = std::move(printer), done = std::move(done), whole](
                                   const QImage& image, double longestSliceMs) mutable {
    PrintReport report{false, longestSliceMs, 0};
    if (image.isNull()) {
      report.wholeMs = msSince(*whole);
      if (done) done(report);
      return;
    }
    try {
      workers_.start("PrintWindow", [image, printer, done, whole, report]() mutable {
        report.printed = printImage(image, printer.get());
        if (!report.printed) std::fprintf(stderr, "printing the window failed\n");
        report.wholeMs = msSince(*whole);
        if (done) done(report);
      });
    } catch (const std::system_error& e) {
      // Here the message loop runs this from a timer: no handler of the operator's click is there to show it.
      std::fprintf(stderr, "printing the window failed: %s\n", e.what());
      report.wholeMs = msSince(*whole);
      if (done) done(report);
    }
  });
}

bool WidgetGui::printWindowTo(Control form, QPrinter* printer) {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  const QImage image = windowImage(form);
  return !image.isNull() && printer != nullptr && printImage(image, printer);
}

QImage WidgetGui::windowImage(Control form) {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  FormWindow* window = display_.window(form);
  if (window == nullptr) return {};
  display_.flush();  // print what the store holds now
  QImage image = newPicture(window->canvas());
  drawRows(window->canvas(), image, 0, window->canvas()->height());
  return image;
}

bool WidgetGui::printImage(const QImage& image, QPrinter* printer) {
  const QSizeF size = image.deviceIndependentSize();
  if (image.isNull() || printer == nullptr || size.isEmpty()) return false;
  QPainter painter;
  if (!painter.begin(printer)) return false;
  const QRectF page = printer->pageLayout().paintRectPixels(printer->resolution());
  const double scale = std::min(page.width() / size.width(), page.height() / size.height());
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRectF(0, 0, size.width() * scale, size.height() * scale), image);
  return painter.end();
}

QString dialogFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  if (parts.size() < 2) return filter;
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    filters.append(parts[i] + QStringLiteral(" (") + QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                   QLatin1Char(')'));
  return filters.join(QStringLiteral(";;"));
}

QString WidgetGui::chooseFileToOpen(const QString& filter) {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  return QFileDialog::getOpenFileName(display_.window(mainForm_), QString(), QString(), dialogFilter(filter));
}

void WidgetGui::closeWindow(Control form) {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  if (FormWindow* window = display_.window(form)) window->close();
}

}  // namespace qv::gui
