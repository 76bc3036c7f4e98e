#include "platform/gui/WidgetGui.h"

#include "platform/Checks.h"

#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace qv::gui {

WidgetGui::WidgetGui(Display& display, Control mainForm, platform::Workers& workers)
    : display_(display), mainForm_(mainForm), workers_(workers) {}

bool WidgetGui::showYesNo(const QString& caption, const QString& text) {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  if (refusing_.load()) return false;
  return QMessageBox::question(display_.window(mainForm_), caption, text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
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

bool WidgetGui::printWindowOnWorker(Control form, std::shared_ptr<QPrinter> printer) {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  const QImage image = windowImage(form);
  if (image.isNull() || printer == nullptr) return false;
  workers_.start("PrintWindow", [image, printer = std::move(printer)] {
    if (!printImage(image, printer.get())) std::fprintf(stderr, "printing the window failed\n");
  });
  return true;
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
  QWidget* client = window->canvas();
  constexpr int kSharpness = 2;
  QImage image(client->size() * kSharpness, QImage::Format_RGB32);
  image.setDevicePixelRatio(kSharpness);
  image.fill(Qt::white);
  client->render(&image);
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
