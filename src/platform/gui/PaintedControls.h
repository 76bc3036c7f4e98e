#pragma once
// The controls that no stock widget draws the way the windows want them: the vertical bar gauge, the round lamp,
// the status bar with fixed panel widths and the small bar chart.

#include <QColor>
#include <QGroupBox>
#include <QPixmap>
#include <QStringList>
#include <QStyleOptionGroupBox>
#include <QVector>
#include <QWidget>

namespace qv::gui {

// A vertical bar filled from the bottom in proportion to its position, with the percentage written across it.
class GaugeWidget : public QWidget {
 public:
  explicit GaugeWidget(QWidget* parent);
  void setRange(int minimum, int maximum);
  void setPosition(int position);
  void setForeColor(const QColor& c);
  int percent() const;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  int minimum_ = 0;
  int maximum_ = 100;
  int position_ = 0;
  QColor fore_ = Qt::green;
};

// A filled circle with a thin outline. Opaque: it paints its whole square (its parent's background around the
// circle), so a toggle repaints the lamp alone, not what lies behind it.
class LampWidget : public QWidget {
 public:
  explicit LampWidget(QWidget* parent);
  void setBrush(const QColor& c);
  QColor brush() const { return brush_; }

  // A flush begins: what the lamp shows now is what the person saw.
  void beginFlush() { atFlush_ = brush_; }
  // The store's colour at a flush that found the lamp changed. A lamp toggled an even number of times since the
  // last flush is back at the colour it showed: it shows the other state instead, until the next flush, so that
  // it still blinks. True when it does.
  bool follow(const QColor& c);
  bool blinking() const { return blinking_; }
  // The store's colour, shown as it is; ends a blink.
  void settle(const QColor& c);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QColor brush_ = Qt::white;
  QColor lit_;  // the last colour other than white it showed: what a blink from white shows
  QColor atFlush_ = Qt::white;
  // The lamp drawn once per colour it shows (a lamp shows two), on its background at its size: a toggle then
  // costs a copy, not an antialiased ellipse.
  struct Drawn {
    QRgb brush = 0;
    QRgb background = 0;
    QSize size;
    QPixmap pixmap;
  };
  Drawn drawn_[2];
  int nextDrawn_ = 0;
  bool blinking_ = false;
};

// A group box that draws its frame and title once per look and copies them afterwards. A child that is not
// opaque (a label, an edit's rounded corners) repaints the box behind it at every change, and the style's frame
// costs far more to draw than to copy: with values changing many times a second, most of the display's work was
// redrawing boxes that had not changed.
class FrameBox : public QGroupBox {
 public:
  explicit FrameBox(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent*) override;
  void changeEvent(QEvent* event) override;

 private:
  // What the drawing depends on besides the widget's font and style, whose changes drop it.
  struct Look {
    QSize size;
    qreal ratio = 0;
    QStyle::State state;
    QString text;
    int alignment = 0;
    QRgb textColor = 0;
    qint64 palette = 0;
    QStyle::SubControls subControls;
    QStyle::SubControls activeSubControls;
    int features = 0;
    Qt::LayoutDirection direction = Qt::LeftToRight;
    bool operator==(const Look&) const = default;
  };
  Look look_;
  QPixmap drawn_;
};

// Sunken panels of fixed widths, left to right, each with its text.
class StatusBarWidget : public QWidget {
 public:
  StatusBarWidget(QWidget* parent, QVector<int> widths);
  void setPanels(const QStringList& texts);
  QStringList panels() const { return texts_; }
  // The text panel index shows at the widget's width: whole where it fits, else elided (a folder in its middle).
  QString shownText(int index) const;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  // The panels' frames at the widget's width, the last taking what is left.
  QVector<QRect> panelRects() const;
  static QRect textRect(const QRect& panel) { return panel.adjusted(3, 0, -2, 0); }

  QVector<int> widths_;
  QStringList texts_;
};

// Bars side by side under a title, scaled to the largest value.
class ChartWidget : public QWidget {
 public:
  struct Bar {
    double value = 0;
    QColor color;
  };
  explicit ChartWidget(QWidget* parent);
  void setTitle(const QString& title);
  void setBars(QVector<Bar> bars);
  void setBackground(const QColor& c);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QString title_;
  QVector<Bar> bars_;
  QColor background_ = Qt::white;
};

}  // namespace qv::gui
