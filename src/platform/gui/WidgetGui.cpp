#include "platform/gui/WidgetGui.h"

#include "platform/Checks.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QThread>

#include <algorithm>

namespace qv::gui {

WidgetGui::WidgetGui(Display& display, Control mainForm) : display_(display), mainForm_(mainForm) {}

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
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, display_.window(mainForm_));
  if (dialog.exec() != QDialog::Accepted) return false;
  return printWindowTo(form, &printer);
}

bool WidgetGui::printWindowTo(Control form, QPrinter* printer) {
  QV_CHECK(QThread::currentThread() == thread(), "widget calls on the GUI thread only");
  FormWindow* window = display_.window(form);
  if (window == nullptr || printer == nullptr) return false;
  display_.flush();  // print what the store holds now
  // The window's image, as a form prints: drawn at three times its size so that its text stays sharp on paper.
  QWidget* client = window->canvas();
  constexpr int kSharpness = 3;
  QImage image(client->size() * kSharpness, QImage::Format_RGB32);
  image.setDevicePixelRatio(kSharpness);
  image.fill(Qt::white);
  client->render(&image);
  QPainter painter;
  if (!painter.begin(printer)) return false;
  const QRectF page = printer->pageLayout().paintRectPixels(printer->resolution());
  const double scale = std::min(page.width() / client->width(), page.height() / client->height());
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRectF(0, 0, client->width() * scale, client->height() * scale), image);
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
