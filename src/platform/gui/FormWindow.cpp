#include "platform/gui/FormWindow.h"

#include "platform/gui/PaintedControls.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace qv::gui {
namespace {

QColor rgb(Colour c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// System colours come from the application's palette; anything else is a 0x00BBGGRR value.
QColor toQColor(Colour c) {
  const QPalette system = QApplication::palette();
  switch (c) {
    case colour::Window:
      return system.color(QPalette::Base);
    case colour::WindowText:
      return system.color(QPalette::Text);
    case colour::ButtonFace:
      return system.color(QPalette::Button);
    default:
      return colour::isSystem(c) ? system.color(QPalette::Button) : rgb(c);
  }
}

// Background colours hold whatever the widget's state; text colours only for its enabled state, so that a
// disabled control still looks disabled.
void setBackground(QWidget* w, std::initializer_list<QPalette::ColorRole> roles, const QColor& c) {
  QPalette p = w->palette();
  for (QPalette::ColorRole role : roles) p.setColor(role, c);
  w->setPalette(p);
}

void setForeground(QWidget* w, const QColor& c) {
  QPalette p = w->palette();
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
      p.setColor(g, role, c);
  }
  w->setPalette(p);
}

bool isContainer(Kind k) {
  return k == Kind::Panel || k == Kind::GroupBox || k == Kind::RadioGroup || k == Kind::PageControl ||
         k == Kind::TabSheet;
}

QVector<int> panelWidths(const char* text) {
  QVector<int> widths;
  for (const QString& part : QString::fromUtf8(text).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    long long w = 0;
    if (parseInt(part, &w)) widths.append(static_cast<int>(std::clamp<long long>(w, 0, 10000)));
  }
  return widths;
}

// A chart's items are its bars: "value", or "value/colour" with the colour as a 0x00BBGGRR number.
QVector<ChartWidget::Bar> chartBars(const QStringList& items) {
  QVector<ChartWidget::Bar> bars;
  for (const QString& item : items) {
    const QStringList parts = item.split(QLatin1Char('/'));
    ChartWidget::Bar bar;
    long double value = 0;
    if (!parseDouble(parts.first(), &value)) continue;
    bar.value = static_cast<double>(value);
    bool ok = false;
    const uint c = parts.size() > 1 ? parts[1].trimmed().toUInt(&ok, 0) : 0;
    if (ok) bar.color = toQColor(c);
    bars.append(bar);
  }
  return bars;
}

// Where a widget keeps its store key, for the events it reports.
constexpr const char* kKeyProperty = "qvKey";

QImage loadPicture(const char* path) {
  QImageReader reader(QString::fromUtf8(path));
  QImage image = reader.read();
  if (image.isNull()) qWarning("picture %s: %s", path, qPrintable(reader.errorString()));
  return image;
}

}  // namespace

void showException(QWidget* parent, const QString& message) {
  QMessageBox::critical(parent, QApplication::applicationName(), message);
}

QString objectNameFor(std::string_view key) {
  const size_t dot = key.rfind('.');
  return QString::fromUtf8(key.substr(dot == std::string_view::npos ? 0 : dot + 1));
}

FormWindow::FormWindow(Controls& controls, FormLogic& logic)
    : QWidget(nullptr), controls_(controls), logic_(logic), form_(logic.form()) {
  setObjectName(QString::fromUtf8(form_.name.c_str()));
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
  if (form_.stayOnTop) flags |= Qt::WindowStaysOnTopHint;
  setWindowFlags(flags);
  setFixedSize(form_.clientWidth, form_.clientHeight);
  applying_ = true;  // building is no operator input

  // The client area scrolls when its controls reach beyond it, as a form does.
  int right = form_.clientWidth, bottom = form_.clientHeight;
  for (const ControlDef& def : form_.controls) {
    if (!def.parent.none() || def.kind == Kind::Timer) continue;
    right = std::max(right, def.left + def.width);
    bottom = std::max(bottom, def.top + def.height);
  }
  auto* scroll = new QScrollArea(this);
  scroll->setFrameShape(QFrame::NoFrame);
  canvas_ = new QWidget;
  canvas_->setObjectName(QStringLiteral("canvas"));
  canvas_->setFixedSize(right, bottom);
  canvas_->setAutoFillBackground(true);
  scroll->setWidget(canvas_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroll);

  for (const ControlDef& def : form_.controls) build(def);
  applyWindow(controls_.state(form_.name));
  for (const ControlDef& def : form_.controls)
    applyControl(controlsByKey_.at(std::string(def.name.key())), controls_.state(def.name));
  applying_ = false;
  built_ = true;
}

QWidget* FormWindow::parentFor(const ControlDef& def) const {
  if (def.parent.none()) return canvas_;
  auto it = controlsByKey_.find(std::string(def.parent.key()));
  if (it == controlsByKey_.end() || it->second.widget == nullptr)
    throw std::logic_error(std::string(form_.name.key()) + ": " + def.name.c_str() + " names an unknown parent " +
                           def.parent.c_str());
  return it->second.widget;
}

void FormWindow::build(const ControlDef& def) {
  const std::string key(def.name.key());
  if (def.name.none() || controlsByKey_.count(key) != 0)
    throw std::logic_error(std::string(form_.name.key()) + ": control " + key + " declared twice or unnamed");
  Item c;
  c.def = &def;
  if (def.kind == Kind::Timer) {
    c.timer = new QTimer(this);
    c.timer->setInterval(def.interval);
    c.timer->setObjectName(objectNameFor(def.name.key()));
    connect(c.timer, &QTimer::timeout, this, [this, name = def.name] { deliver(name, UiEvent::Timer); });
    controlsByKey_.emplace(key, c);
    return;
  }

  QWidget* parent = parentFor(def);
  if (def.kind == Kind::TabSheet) {
    auto pc = controlsByKey_.find(std::string(def.parent.key()));
    if (pc->second.def->kind != Kind::PageControl)
      throw std::logic_error(std::string(form_.name.key()) + ": page " + key + " outside a page control");
    pc->second.pages.emplace_back(def.name);
  }

  QWidget* w = nullptr;
  switch (def.kind) {
    case Kind::Panel: {
      auto* panel = new QLabel(parent);
      panel->setTextFormat(Qt::PlainText);
      panel->setAlignment(Qt::AlignCenter);
      panel->setFrameShape(QFrame::Panel);
      panel->setFrameShadow(QFrame::Raised);
      w = panel;
      break;
    }
    case Kind::GroupBox:
      w = new FrameBox(parent);
      break;
    case Kind::RadioGroup:
      w = new FrameBox(parent);
      c.radios = new QButtonGroup(w);
      break;
    case Kind::Label: {
      auto* label = new QLabel(parent);
      label->setTextFormat(Qt::PlainText);
      w = label;
      break;
    }
    case Kind::Edit: {
      auto* edit = new QLineEdit(parent);
      edit->setReadOnly(def.readOnly);
      if (def.maxLength > 0) edit->setMaxLength(def.maxLength);
      if (def.digitsOnly) {
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        edit->setInputMethodHints(Qt::ImhDigitsOnly);
      }
      w = edit;
      break;
    }
    case Kind::Button:
      w = new QPushButton(parent);
      break;
    case Kind::CheckBox:
      w = new QCheckBox(parent);
      break;
    case Kind::ComboBox:
      w = new QComboBox(parent);
      break;
    case Kind::ProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setOrientation(def.height > def.width ? Qt::Vertical : Qt::Horizontal);
      bar->setTextVisible(false);
      w = bar;
      break;
    }
    case Kind::Gauge:
      w = new GaugeWidget(parent);
      break;
    case Kind::Shape:
      w = new LampWidget(parent);
      break;
    case Kind::StatusBar:
      w = new StatusBarWidget(parent, panelWidths(def.panelWidths));
      break;
    case Kind::PageControl:
      w = new QTabWidget(parent);
      break;
    case Kind::TabSheet:
      // A page belongs to its page control from the start, with its tab shown or not.
      w = new QWidget;
      static_cast<QTabWidget*>(parent)->addTab(w, QString::fromUtf8(def.caption));
      break;
    case Kind::Memo: {
      auto* memo = new QPlainTextEdit(parent);
      memo->setReadOnly(def.readOnly);
      memo->setLineWrapMode(QPlainTextEdit::NoWrap);
      w = memo;
      break;
    }
    case Kind::Image: {
      auto* image = new QLabel(parent);
      image->setPixmap(QPixmap::fromImage(loadPicture(def.picture)
                                              .scaled(def.width, def.height, Qt::IgnoreAspectRatio,
                                                      Qt::SmoothTransformation)));
      w = image;
      break;
    }
    case Kind::Chart:
      w = new ChartWidget(parent);
      break;
    case Kind::Form:
    case Kind::Timer:
      throw std::logic_error(std::string(form_.name.key()) + ": " + key + " cannot be a control");
  }
  w->setObjectName(objectNameFor(def.name.key()));
  w->setProperty(kKeyProperty, QString::fromUtf8(def.name.c_str()));
  if (def.kind != Kind::TabSheet) w->setGeometry(def.left, def.top, def.width, def.height);
  c.widget = w;
  auto& stored = controlsByKey_.emplace(key, c).first->second;
  if (def.kind == Kind::Shape) lamps_.push_back(&stored);
  connectInput(stored);
}

void FormWindow::connectInput(Item& c) {
  const qv::Control key = c.def->name;
  QWidget* w = c.widget;
  if (!isContainer(c.def->kind)) w->installEventFilter(this);
  switch (c.def->kind) {
    case Kind::Edit:
      connect(static_cast<QLineEdit*>(w), &QLineEdit::textEdited, this, [this, key](const QString& text) {
        controls_.setText(key, text);
        deliver(key, UiEvent::Change);
      });
      break;
    case Kind::Memo:
      connect(static_cast<QPlainTextEdit*>(w), &QPlainTextEdit::textChanged, this, [this, key, w] {
        if (applying_) return;
        controls_.setItems(key, static_cast<QPlainTextEdit*>(w)->toPlainText().split(QLatin1Char('\n')));
        deliver(key, UiEvent::Change);
      });
      break;
    case Kind::Button:
      connect(static_cast<QPushButton*>(w), &QPushButton::clicked, this, [this, key] { deliver(key, UiEvent::Click); });
      break;
    case Kind::CheckBox:
      connect(static_cast<QCheckBox*>(w), &QCheckBox::clicked, this, [this, key](bool on) {
        controls_.setChecked(key, on);
        deliver(key, UiEvent::Click);
      });
      break;
    case Kind::RadioGroup:
      connect(c.radios, &QButtonGroup::idClicked, this, [this, key](int index) {
        controls_.setItemIndex(key, index);
        deliver(key, UiEvent::Click);
      });
      break;
    case Kind::ComboBox:
      connect(static_cast<QComboBox*>(w), &QComboBox::activated, this, [this, key](int index) {
        controls_.selectItem(key, index);
        deliver(key, UiEvent::Change);
      });
      break;
    case Kind::PageControl:
      connect(static_cast<QTabWidget*>(w), &QTabWidget::currentChanged, this, [this, key](int index) {
        if (applying_) return;
        controls_.setItemIndex(key, index);
        deliver(key, UiEvent::Change);
      });
      break;
    default:
      break;
  }
}

QWidget* FormWindow::widget(qv::Control name) const {
  auto it = controlsByKey_.find(std::string(name.key()));
  return it == controlsByKey_.end() ? nullptr : it->second.widget;
}

std::vector<std::string> FormWindow::keys() const {
  std::vector<std::string> keys{std::string(form_.name.key())};
  for (const ControlDef& def : form_.controls) keys.emplace_back(def.name.key());
  return keys;
}

void FormWindow::apply(std::string_view key) {
  const bool wasApplying = applying_;
  applying_ = true;
  if (key == form_.name.key()) {
    applyWindow(controls_.state(form_.name));
  } else {
    auto it = controlsByKey_.find(std::string(key));
    if (it != controlsByKey_.end()) {
      applyingChange_ = true;
      applyControl(it->second, controls_.state(it->second.def->name));
      applyingChange_ = false;
    }
  }
  applying_ = wasApplying;
}

void FormWindow::beginFlush() {
  ++flushNo_;
  for (Item* lamp : lamps_) static_cast<LampWidget*>(lamp->widget)->beginFlush();
}

bool FormWindow::endFlush() {
  std::erase_if(blinks_, [this](const Blink& b) {
    auto* lamp = static_cast<LampWidget*>(b.lamp->widget);
    if (!lamp->blinking()) return true;  // a later change ended it
    if (b.since == flushNo_) return false;
    applyColours(*b.lamp, controls_.state(b.lamp->def->name));
    return true;
  });
  return !blinks_.empty();
}

void FormWindow::applyWindow(const ControlState& s) {
  const QString caption = s.text;
  if (windowTitle() != caption) setWindowTitle(caption);
  const QColor background = toQColor(s.color);
  if (canvas_->palette().color(QPalette::Window) != background) {
    setBackground(canvas_, {QPalette::Window}, background);
    if (built_) refreshInheritedColours();
  }
  setEnabled(s.enabled);
  if (s.visible && !isVisible()) {
    if (!placed_) {
      placed_ = true;
      if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }
    show();
  } else if (!s.visible && isVisible()) {
    hide();
  }
}

Colour FormWindow::effectiveColour(qv::Control name) const {
  for (int depth = 0; depth < 64; ++depth) {
    const Colour c = controls_.color(name);
    if (c != colour::Parent) return c;
    auto it = controlsByKey_.find(std::string(name.key()));
    if (it == controlsByKey_.end()) break;  // the form itself
    name = !it->second.def->parent.none() ? it->second.def->parent : form_.name;
  }
  return form_.color;
}

void FormWindow::refreshInheritedColours() {
  // A parent's colour is no change of the lamps under it.
  const bool wasChange = std::exchange(applyingChange_, false);
  for (auto& [key, c] : controlsByKey_) {
    if (c.widget != nullptr) applyColours(c, controls_.state(c.def->name));
  }
  applyingChange_ = wasChange;
}

void FormWindow::applyColours(Item& c, const ControlState& s) {
  QWidget* w = c.widget;
  const Kind kind = c.def->kind;
  const QColor background = toQColor(s.color == colour::Parent ? effectiveColour(c.def->name) : s.color);
  const QColor text = toQColor(s.fontColor);
  const bool paletteKind = kind != Kind::Gauge && kind != Kind::Shape && kind != Kind::Chart && kind != Kind::Image;
  if (paletteKind) {
    const std::array<QRgb, 3> colours{static_cast<QRgb>(s.color), background.rgba(), text.rgba()};
    if (c.paletteColours == colours) return;
    c.paletteColours = colours;
  }
  switch (kind) {
    case Kind::Edit:
    case Kind::Memo:
    case Kind::ComboBox:
      setBackground(w, {QPalette::Base, QPalette::Button}, background);
      break;
    case Kind::Button:
      setBackground(w, {QPalette::Button}, background);
      break;
    case Kind::ProgressBar:
      if (!colour::isSystem(s.color)) setBackground(w, {QPalette::Highlight}, background);
      break;
    case Kind::Gauge:
      static_cast<GaugeWidget*>(w)->setForeColor(background);
      break;
    case Kind::Shape: {
      auto* lamp = static_cast<LampWidget*>(w);
      if (!applyingChange_) {
        lamp->settle(background);
      } else if (lamp->follow(background)) {
        auto it = std::find_if(blinks_.begin(), blinks_.end(), [&c](const Blink& b) { return b.lamp == &c; });
        if (it != blinks_.end()) {
          it->since = flushNo_;
        } else {
          blinks_.push_back({&c, flushNo_});
        }
      }
      break;
    }
    case Kind::Chart:
      static_cast<ChartWidget*>(w)->setBackground(background);
      break;
    case Kind::Image:
      break;
    default: {
      // Containers, labels, check boxes and the status bar: filled only where they have a colour of their own.
      const bool changed = w->palette().color(QPalette::Window) != background;
      setBackground(w, {QPalette::Window}, background);
      w->setAutoFillBackground(s.color != colour::Parent || kind == Kind::TabSheet);
      setForeground(w, text);
      // What takes this container's colour follows it.
      if (changed && built_ && isContainer(kind)) refreshInheritedColours();
      return;
    }
  }
  setForeground(w, text);
}

void FormWindow::applyFont(Item& c, const ControlState& s) {
  if (c.fontSize == s.fontSize) return;
  const bool first = !c.fontSize.has_value();
  c.fontSize = s.fontSize;
  if (first && s.fontSize == 0 && !c.def->bold) return;  // the window's font, as it has from the start
  // What the control does not set of its own it takes from its window.
  QFont f;
  if (c.def->bold) f.setBold(true);
  if (s.fontSize > 0) f.setPixelSize(s.fontSize);
  c.widget->setFont(f);
}

void FormWindow::applyRadioItems(Item& c, const ControlState& s) {
  const QList<QAbstractButton*> existing = c.radios->buttons();
  bool same = existing.size() == s.items.size();
  for (int i = 0; same && i < existing.size(); ++i) same = c.radios->button(i)->text() == s.items[i];
  if (!same) {
    for (QAbstractButton* b : existing) {
      c.radios->removeButton(b);
      delete b;
    }
    const int columns = std::max(1, c.def->columns);
    const int rows = std::max<int>(1, (s.items.size() + columns - 1) / columns);
    const int cellWidth = (c.def->width - 16) / columns;
    const int cellHeight = std::max(16, (c.def->height - 22) / rows);
    for (int i = 0; i < s.items.size(); ++i) {
      auto* radio = new QRadioButton(s.items[i], c.widget);
      radio->setGeometry(8 + (i % columns) * cellWidth, 18 + (i / columns) * cellHeight, cellWidth,
                         std::min(cellHeight, 20));
      c.radios->addButton(radio, i);
      radio->show();
    }
  }
  if (QAbstractButton* chosen = c.radios->button(s.itemIndex)) {
    chosen->setChecked(true);
  } else if (QAbstractButton* checked = c.radios->checkedButton()) {
    c.radios->setExclusive(false);
    checked->setChecked(false);
    c.radios->setExclusive(true);
  }
}

void FormWindow::showTabs(Item& pageControl) {
  auto* tabs = static_cast<QTabWidget*>(pageControl.widget);
  const QSignalBlocker blocker(tabs);
  tabs->clear();
  for (const qv::Control page : pageControl.pages) {
    const ControlState s = controls_.state(page);
    if (!s.visible) continue;
    const int index = tabs->addTab(controlsByKey_.at(std::string(page.key())).widget, s.text);
    tabs->setTabEnabled(index, s.enabled);
  }
  if (tabs->count() > 0)
    tabs->setCurrentIndex(std::clamp(controls_.itemIndex(pageControl.def->name), 0, tabs->count() - 1));
}

void FormWindow::applyControl(Item& c, const ControlState& s) {
  if (c.timer != nullptr) {
    if (!s.enabled) c.timer->stop();
    else if (!c.timer->isActive()) c.timer->start();
    return;
  }
  QWidget* w = c.widget;
  applyColours(c, s);
  applyFont(c, s);
  if (w->toolTip() != s.hint) w->setToolTip(s.hint);
  const Kind kind = c.def->kind;
  if (kind == Kind::TabSheet) {
    w->setEnabled(s.enabled);
    showTabs(controlsByKey_.at(std::string(c.def->parent.key())));
    return;
  }
  w->setEnabled(s.enabled);
  if (w->isVisibleTo(w->parentWidget()) != s.visible) w->setVisible(s.visible);

  switch (kind) {
    case Kind::Panel:
    case Kind::Label:
      if (static_cast<QLabel*>(w)->text() != s.text) static_cast<QLabel*>(w)->setText(s.text);
      break;
    case Kind::GroupBox:
      static_cast<QGroupBox*>(w)->setTitle(s.text);
      break;
    case Kind::RadioGroup:
      static_cast<QGroupBox*>(w)->setTitle(s.text);
      applyRadioItems(c, s);
      break;
    case Kind::Edit: {
      auto* edit = static_cast<QLineEdit*>(w);
      if (edit->text() != s.text) edit->setText(s.text);
      break;
    }
    case Kind::Button:
      if (static_cast<QPushButton*>(w)->text() != s.text) static_cast<QPushButton*>(w)->setText(s.text);
      break;
    case Kind::CheckBox: {
      auto* box = static_cast<QCheckBox*>(w);
      box->setText(s.text);
      box->setChecked(s.checked);
      break;
    }
    case Kind::ComboBox: {
      auto* combo = static_cast<QComboBox*>(w);
      QStringList shown;
      for (int i = 0; i < combo->count(); ++i) shown.append(combo->itemText(i));
      if (shown != s.items) {
        combo->clear();
        combo->addItems(s.items);
      }
      combo->setCurrentIndex(s.itemIndex >= 0 && s.itemIndex < combo->count() ? s.itemIndex : -1);
      break;
    }
    case Kind::ProgressBar: {
      auto* bar = static_cast<QProgressBar*>(w);
      bar->setRange(s.minimum, std::max(s.minimum, s.maximum));
      bar->setValue(s.position);
      break;
    }
    case Kind::Gauge: {
      auto* gauge = static_cast<GaugeWidget*>(w);
      gauge->setRange(s.minimum, s.maximum);
      gauge->setPosition(s.position);
      break;
    }
    case Kind::StatusBar:
      static_cast<StatusBarWidget*>(w)->setPanels(s.items);
      break;
    case Kind::PageControl:
      showTabs(c);
      break;
    case Kind::Memo: {
      auto* memo = static_cast<QPlainTextEdit*>(w);
      const QString text = s.items.join(QLatin1Char('\n'));
      if (memo->toPlainText() != text) {
        memo->setPlainText(text);
        memo->moveCursor(QTextCursor::End);
      }
      break;
    }
    case Kind::Chart: {
      auto* chart = static_cast<ChartWidget*>(w);
      chart->setTitle(s.text);
      chart->setBars(chartBars(s.items));
      break;
    }
    default:
      break;
  }
}

void FormWindow::deliver(qv::Control name, UiEvent event) {
  try {
    logic_.onEvent(name, event);
  } catch (const std::exception& e) {
    showException(this, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    showException(this, QString());
  }
}

void FormWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  controls_.setVisible(form_.name, true);
  deliver(form_.name, UiEvent::Show);
}

void FormWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  controls_.setVisible(form_.name, false);
  deliver(form_.name, UiEvent::Close);
  emit closed();
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
    const QString key = watched->property(kKeyProperty).toString();
    auto it = key.isEmpty() ? controlsByKey_.end() : controlsByKey_.find(key.toStdString());
    if (it != controlsByKey_.end())
      deliver(it->second.def->name, event->type() == QEvent::Enter ? UiEvent::MouseEnter : UiEvent::MouseLeave);
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace qv::gui
