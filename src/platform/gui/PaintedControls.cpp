#include "platform/gui/PaintedControls.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QStylePainter>

#include <algorithm>

namespace qv::gui {

GaugeWidget::GaugeWidget(QWidget* parent) : QWidget(parent) {}

void GaugeWidget::setRange(int minimum, int maximum) {
  if (minimum == minimum_ && maximum == maximum_) return;
  const int before = percent();
  minimum_ = minimum;
  maximum_ = std::max(minimum, maximum);
  position_ = std::clamp(position_, minimum_, maximum_);
  if (percent() != before) update();
}

void GaugeWidget::setPosition(int position) {
  const int before = percent();
  position_ = std::clamp(position, minimum_, maximum_);
  if (percent() != before) update();
}

void GaugeWidget::setForeColor(const QColor& c) {
  if (c == fore_) return;
  fore_ = c;
  update();
}

int GaugeWidget::percent() const {
  const long long span = static_cast<long long>(maximum_) - minimum_;
  if (span <= 0) return 0;
  return static_cast<int>((static_cast<long long>(position_) - minimum_) * 100 / span);
}

void GaugeWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  p.fillRect(frame, Qt::white);
  const int inner = frame.height() - 1;
  const int filled = inner * percent() / 100;
  p.fillRect(QRect(frame.left() + 1, frame.bottom() - filled, frame.width() - 1, filled), fore_);
  p.setPen(QColor(0x70, 0x70, 0x70));
  p.drawRect(frame);
  p.setPen(Qt::black);
  QFont f = font();
  f.setPixelSize(std::max(8, std::min(10, width() / 3)));
  p.setFont(f);
  p.drawText(rect(), Qt::AlignCenter, QString::number(percent()) + QLatin1Char('%'));
}

LampWidget::LampWidget(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void LampWidget::setBrush(const QColor& c) {
  if (c != QColor(Qt::white)) lit_ = c;
  if (c == brush_) return;
  brush_ = c;
  update();
}

bool LampWidget::follow(const QColor& c) {
  if (c != atFlush_) {
    settle(c);
    return false;
  }
  const QColor white(Qt::white);
  const QColor other = atFlush_ != white ? white : lit_.isValid() ? lit_ : QColor(Qt::gray);
  brush_ = other;
  blinking_ = true;
  update();
  return true;
}

void LampWidget::settle(const QColor& c) {
  blinking_ = false;
  setBrush(c);
}

void LampWidget::paintEvent(QPaintEvent*) {
  const QRgb background = palette().color(QPalette::Window).rgba();
  const qreal ratio = devicePixelRatioF();
  const QSize size = this->size() * ratio;
  for (const Drawn& d : drawn_) {
    if (d.brush == brush_.rgba() && d.background == background && d.size == size && !d.pixmap.isNull()) {
      QPainter(this).drawPixmap(0, 0, d.pixmap);
      return;
    }
  }
  Drawn& d = drawn_[nextDrawn_];
  nextDrawn_ = (nextDrawn_ + 1) % 2;
  d = Drawn{brush_.rgba(), background, size, QPixmap(size)};
  d.pixmap.setDevicePixelRatio(ratio);
  {
    QPainter p(&d.pixmap);
    p.fillRect(rect(), palette().window());
    p.setRenderHint(QPainter::Antialiasing);
    const int diameter = std::min(width(), height()) - 2;
    const QRectF circle((width() - diameter) / 2.0, (height() - diameter) / 2.0, diameter, diameter);
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    p.setBrush(brush_);
    p.drawEllipse(circle);
  }
  QPainter(this).drawPixmap(0, 0, d.pixmap);
}

FrameBox::FrameBox(QWidget* parent) : QGroupBox(parent) {}

void FrameBox::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const qreal ratio = devicePixelRatioF();
  if (!qFuzzyCompare(painter.deviceTransform().m11(), ratio)) {
    // Drawn at another sharpness than the screen's (a window drawn for paper, twice its size, a band at a time):
    // as the plain box draws itself, only the part asked for, and the screen's copy kept.
    painter.end();
    QGroupBox::paintEvent(event);
    return;
  }
  QStyleOptionGroupBox option;
  initStyleOption(&option);
  const Look look{size(),
                  ratio,
                  option.state,
                  option.text,
                  static_cast<int>(option.textAlignment),
                  option.textColor.rgba(),
                  option.palette.cacheKey(),
                  option.subControls,
                  option.activeSubControls,
                  static_cast<int>(option.features),
                  option.direction};
  if (drawn_.isNull() || !(look == look_)) {
    drawn_ = QPixmap(size() * ratio);
    drawn_.setDevicePixelRatio(ratio);
    drawn_.fill(Qt::transparent);
    // What a painter on the widget itself would start with.
    QStylePainter p(&drawn_, this);
    p.setFont(font());
    p.setPen(palette().color(foregroundRole()));
    p.setBrush(palette().brush(backgroundRole()));
    p.drawComplexControl(QStyle::CC_GroupBox, option);
    look_ = look;
  }
  painter.drawPixmap(0, 0, drawn_);
}

void FrameBox::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) drawn_ = QPixmap();
  QGroupBox::changeEvent(event);
}

StatusBarWidget::StatusBarWidget(QWidget* parent, QVector<int> widths) : QWidget(parent), widths_(std::move(widths)) {}

void StatusBarWidget::setPanels(const QStringList& texts) {
  if (texts == texts_) return;
  texts_ = texts;
  // A panel too narrow for its text shows its start and its end; the tool tip shows every panel whole.
  QStringList shown;
  for (const QString& text : texts) {
    if (!text.trimmed().isEmpty()) shown << text.trimmed();
  }
  setToolTip(shown.join(QLatin1Char('\n')));
  update();
}

QVector<QRect> StatusBarWidget::panelRects() const {
  QVector<QRect> rects;
  int x = 0;
  for (int i = 0; i < widths_.size() && x < width(); ++i) {
    // The last panel takes what is left, as a status bar's last panel does.
    const int w = i + 1 == widths_.size() ? std::max(widths_[i], width() - x) : widths_[i];
    rects.append(QRect(x + 1, 2, w - 3, height() - 3));
    x += w;
  }
  return rects;
}

QString StatusBarWidget::shownText(int index) const {
  const QVector<QRect> rects = panelRects();
  if (index < 0 || index >= rects.size() || index >= texts_.size()) return QString();
  const QString& text = texts_[index];
  const int width = textRect(rects[index]).width();
  const QFontMetrics metrics = fontMetrics();
  if (metrics.horizontalAdvance(text) <= width) return text;
  // A folder loses its middle, so that what comes before it and its last part still say what and where; any
  // other text loses its end.
  const qsizetype folder = text.indexOf(QLatin1Char('/'));
  if (folder < 0) return metrics.elidedText(text, Qt::ElideRight, width);
  const QString head = text.left(folder);
  const int headWidth = metrics.horizontalAdvance(head);
  // With too little room left for the folder, the whole text loses its middle instead.
  if (width - headWidth < 10 * metrics.averageCharWidth()) return metrics.elidedText(text, Qt::ElideMiddle, width);
  return head + metrics.elidedText(text.mid(folder), Qt::ElideMiddle, width - headWidth);
}

void StatusBarWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Window));
  const QVector<QRect> rects = panelRects();
  for (int i = 0; i < rects.size(); ++i) {
    const QRect& panel = rects[i];
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(panel.topLeft(), panel.topRight());
    p.drawLine(panel.topLeft(), panel.bottomLeft());
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(panel.bottomLeft(), panel.bottomRight());
    p.drawLine(panel.topRight(), panel.bottomRight());
    if (i < texts_.size()) {
      p.setPen(palette().color(QPalette::WindowText));
      p.drawText(textRect(panel), Qt::AlignLeft | Qt::AlignVCenter, shownText(i));
    }
  }
}

ChartWidget::ChartWidget(QWidget* parent) : QWidget(parent) {}

void ChartWidget::setTitle(const QString& title) {
  if (title == title_) return;
  title_ = title;
  update();
}

void ChartWidget::setBars(QVector<Bar> bars) {
  bars_ = std::move(bars);
  update();
}

void ChartWidget::setBackground(const QColor& c) {
  if (c == background_) return;
  background_ = c;
  update();
}

void ChartWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), background_);
  p.setPen(QColor(0x80, 0x80, 0x80));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  const int titleHeight = p.fontMetrics().height() + 6;
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(QRect(0, 2, width(), titleHeight), Qt::AlignCenter, title_);
  if (bars_.isEmpty()) return;
  double top = 0;
  for (const Bar& b : bars_) top = std::max(top, b.value);
  if (top <= 0) return;
  const QRect plot = rect().adjusted(8, titleHeight + 4, -8, -6);
  const double slot = static_cast<double>(plot.width()) / bars_.size();
  for (int i = 0; i < bars_.size(); ++i) {
    const int h = static_cast<int>(plot.height() * std::max(0.0, bars_[i].value) / top);
    const QRectF bar(plot.left() + i * slot + slot * 0.15, plot.bottom() - h, slot * 0.7, h);
    p.fillRect(bar, bars_[i].color.isValid() ? bars_[i].color : QColor(Qt::darkGreen));
  }
}

}  // namespace qv::gui
