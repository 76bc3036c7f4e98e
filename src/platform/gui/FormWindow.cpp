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
    case colour::Window: return system.color(QPalette::Base);
    case colour::WindowText: return system.color(QPalette::Text);
    case colour::ButtonFace: return system.color(QPalette::Button);
    default: return colour::isSystem(c) ? system.color(QPalette::Button) : rgb(c);
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

  const KindView& view = kindView(def.kind);
  if (view.make == nullptr) throw std::logic_error(std::string(form_.name.key()) + ": " + key + " cannot be a control");
  QWidget* w = view.make(c, parent);
  w->setObjectName(objectNameFor(def.name.key()));
  w->setProperty(kKeyProperty, QString::fromUtf8(def.name.c_str()));
  if (def.kind != Kind::TabSheet) w->setGeometry(def.left, def.top, def.width, def.height);
  c.widget = w;
  auto& stored = controlsByKey_.emplace(key, c).first->second;
  if (def.kind == Kind::Shape) lamps_.push_back(&stored);
  connectInput(stored);
}

void FormWindow::connectInput(Item& c) {
  const KindView& view = kindView(c.def->kind);
  if (!view.container) c.widget->installEventFilter(this);
  if (view.input != nullptr) view.input(*this, c);
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
  const KindView& view = kindView(c.def->kind);
  const QColor background = toQColor(s.color == colour::Parent ? effectiveColour(c.def->name) : s.color);
  const QColor text = toQColor(s.fontColor);
  if (view.palette) {
    const std::array<QRgb, 3> colours{static_cast<QRgb>(s.color), background.rgba(), text.rgba()};
    if (c.paletteColours == colours) return;
    c.paletteColours = colours;
  }
  setForeground(c.widget, text);
  view.paint(*this, c, s, background);
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
  // A status bar's tool tip is its panels' texts whole, which it keeps itself; the hint would wipe it.
  if (c.def->kind != Kind::StatusBar && w->toolTip() != s.hint) w->setToolTip(s.hint);
  w->setEnabled(s.enabled);
  const KindView& view = kindView(c.def->kind);
  // A page is shown by its tab, which its page control shows.
  if (c.def->kind != Kind::TabSheet && w->isVisibleTo(w->parentWidget()) != s.visible) w->setVisible(s.visible);
  if (view.show != nullptr) view.show(*this, c, s);
}

// Every kind of control in one table: the widget the window makes for it, the operator's input it hands to the
// store and the logic, how its colours show, and how the rest of its state shows.
const FormWindow::KindView& FormWindow::kindView(Kind kind) {
  using Roles = std::initializer_list<QPalette::ColorRole>;
  // Containers, labels, check boxes and the status bar: filled only where they have a colour of their own.
  static constexpr auto filled = [](FormWindow& f, Item& c, const ControlState& s, const QColor& background) {
    QWidget* w = c.widget;
    const bool changed = w->palette().color(QPalette::Window) != background;
    setBackground(w, Roles{QPalette::Window}, background);
    w->setAutoFillBackground(s.color != colour::Parent || c.def->kind == Kind::TabSheet);
    // What takes this container's colour follows it.
    if (changed && f.built_ && kindView(c.def->kind).container) f.refreshInheritedColours();
  };
  static constexpr auto boxed = [](FormWindow&, Item& c, const ControlState&, const QColor& background) {
    setBackground(c.widget, Roles{QPalette::Base, QPalette::Button}, background);
  };
  static constexpr auto label = [](FormWindow&, Item& c, const ControlState& s) {
    auto* l = static_cast<QLabel*>(c.widget);
    if (l->text() != s.text) l->setText(s.text);
  };
  static const KindView views[] = {
      {Kind::Form, nullptr, nullptr, false, false, nullptr, nullptr},
      {Kind::Panel,
       [](Item&, QWidget* parent) -> QWidget* {
         auto* panel = new QLabel(parent);
         panel->setTextFormat(Qt::PlainText);
         panel->setAlignment(Qt::AlignCenter);
         panel->setFrameShape(QFrame::Panel);
         panel->setFrameShadow(QFrame::Raised);
         return panel;
       },
       nullptr, true, true, filled, label},
      {Kind::GroupBox, [](Item&, QWidget* parent) -> QWidget* { return new FrameBox(parent); }, nullptr, true, true,
       filled,
       [](FormWindow&, Item& c, const ControlState& s) { static_cast<QGroupBox*>(c.widget)->setTitle(s.text); }},
      {Kind::Label,
       [](Item&, QWidget* parent) -> QWidget* {
         auto* l = new QLabel(parent);
         l->setTextFormat(Qt::PlainText);
         return l;
       },
       nullptr, false, true, filled, label},
      {Kind::Edit,
       [](Item& c, QWidget* parent) -> QWidget* {
         auto* edit = new QLineEdit(parent);
         edit->setReadOnly(c.def->readOnly);
         if (c.def->maxLength > 0) edit->setMaxLength(c.def->maxLength);
         if (c.def->digitsOnly) {
           edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
           edit->setInputMethodHints(Qt::ImhDigitsOnly);
         }
         return edit;
       },
       [](FormWindow& f, Item& c) {
         const Control key = c.def->name;
         connect(static_cast<QLineEdit*>(c.widget), &QLineEdit::textEdited, &f, [&f, key](const QString& text) {
           f.controls_.setText(key, text);
           f.deliver(key, UiEvent::Change);
         });
       },
       false, true, boxed,
       [](FormWindow&, Item& c, const ControlState& s) {
         auto* edit = static_cast<QLineEdit*>(c.widget);
         if (edit->text() != s.text) edit->setText(s.text);
       }},
      {Kind::Button, [](Item&, QWidget* parent) -> QWidget* { return new QPushButton(parent); },
       [](FormWindow& f, Item& c) {
         connect(static_cast<QPushButton*>(c.widget), &QPushButton::clicked, &f,
                 [&f, key = c.def->name] { f.deliver(key, UiEvent::Click); });
       },
       false, true,
       [](FormWindow&, Item& c, const ControlState&, const QColor& background) {
         setBackground(c.widget, Roles{QPalette::Button}, background);
       },
       [](FormWindow&, Item& c, const ControlState& s) {
         auto* button = static_cast<QPushButton*>(c.widget);
         if (button->text() != s.text) button->setText(s.text);
       }},
      {Kind::CheckBox, [](Item&, QWidget* parent) -> QWidget* { return new QCheckBox(parent); },
       [](FormWindow& f, Item& c) {
         connect(static_cast<QCheckBox*>(c.widget), &QCheckBox::clicked, &f, [&f, key = c.def->name](bool on) {
           f.controls_.setChecked(key, on);
           f.deliver(key, UiEvent::Click);
         });
       },
       false, true, filled,
       [](FormWindow&, Item& c, const ControlState& s) {
         auto* box = static_cast<QCheckBox*>(c.widget);
         box->setText(s.text);
         box->setChecked(s.checked);
       }},
      {Kind::RadioGroup,
       [](Item& c, QWidget* parent) -> QWidget* {
         auto* group = new FrameBox(parent);
         c.radios = new QButtonGroup(group);
         return group;
       },
       [](FormWindow& f, Item& c) {
         connect(c.radios, &QButtonGroup::idClicked, &f, [&f, key = c.def->name](int index) {
           f.controls_.setItemIndex(key, index);
           f.deliver(key, UiEvent::Click);
         });
       },
       true, true, filled,
       [](FormWindow& f, Item& c, const ControlState& s) {
         static_cast<QGroupBox*>(c.widget)->setTitle(s.text);
         f.applyRadioItems(c, s);
       }},
      {Kind::ComboBox, [](Item&, QWidget* parent) -> QWidget* { return new QComboBox(parent); },
       [](FormWindow& f, Item& c) {
         connect(static_cast<QComboBox*>(c.widget), &QComboBox::activated, &f, [&f, key = c.def->name](int index) {
           f.controls_.selectItem(key, index);
           f.deliver(key, UiEvent::Change);
         });
       },
       false, true, boxed,
       [](FormWindow&, Item& c, const ControlState& s) {
         auto* combo = static_cast<QComboBox*>(c.widget);
         QStringList shown;
         for (int i = 0; i < combo->count(); ++i) shown.append(combo->itemText(i));
         if (shown != s.items) {
           combo->clear();
           combo->addItems(s.items);
         }
         combo->setCurrentIndex(s.itemIndex >= 0 && s.itemIndex < combo->count() ? s.itemIndex : -1);
       }},
      {Kind::ProgressBar,
       [](Item& c, QWidget* parent) -> QWidget* {
         auto* bar = new QProgressBar(parent);
         bar->setOrientation(c.def->height > c.def->width ? Qt::Vertical : Qt::Horizontal);
         bar->setTextVisible(false);
         return bar;
       },
       nullptr, false, true,
       [](FormWindow&, Item& c, const ControlState& s, const QColor& background) {
         if (!colour::isSystem(s.color)) setBackground(c.widget, Roles{QPalette::Highlight}, background);
       },
       [](FormWindow&, Item& c, const ControlState& s) {
         auto* bar = static_cast<QProgressBar*>(c.widget);
         bar->setRange(s.minimum, std::max(s.minimum, s.maximum));
         bar->setValue(s.position);
       }},
      {Kind::Gauge, [](Item&, QWidget* parent) -> QWidget* { return new GaugeWidget(parent); }, nullptr, false, false,
       [](FormWindow&, Item& c, const ControlState&, const QColor& background) {
         static_cast<GaugeWidget*>(c.widget)->setForeColor(background);
       },
       [](FormWindow&, Item& c, const ControlState& s) {
         auto* gauge = static_cast<GaugeWidget*>(c.widget);
         gauge->setRange(s.minimum, s.maximum);
         gauge->setPosition(s.position);
       }},
      {Kind::Shape, [](Item&, QWidget* parent) -> QWidget* { return new LampWidget(parent); }, nullptr, false, false,
       [](FormWindow& f, Item& c, const ControlState&, const QColor& background) {
         auto* lamp = static_cast<LampWidget*>(c.widget);
         if (!f.applyingChange_) {
           lamp->settle(background);
         } else if (lamp->follow(background)) {
           auto it = std::find_if(f.blinks_.begin(), f.blinks_.end(), [&c](const Blink& b) { return b.lamp == &c; });
           if (it != f.blinks_.end()) {
             it->since = f.flushNo_;
           } else {
             f.blinks_.push_back({&c, f.flushNo_});
           }
         }
       },
       nullptr},
      {Kind::StatusBar,
       [](Item& c, QWidget* parent) -> QWidget* {
         return new StatusBarWidget(parent, panelWidths(c.def->panelWidths));
       },
       nullptr, false, true, filled,
       [](FormWindow&, Item& c, const ControlState& s) {
         static_cast<StatusBarWidget*>(c.widget)->setPanels(s.items);
       }},
      {Kind::PageControl, [](Item&, QWidget* parent) -> QWidget* { return new QTabWidget(parent); },
       [](FormWindow& f, Item& c) {
         const Control key = c.def->name;
         connect(static_cast<QTabWidget*>(c.widget), &QTabWidget::currentChanged, &f, [&f, key](int index) {
           if (f.applying_) return;
           f.controls_.setItemIndex(key, index);
           f.deliver(key, UiEvent::Change);
         });
       },
       true, true, filled, [](FormWindow& f, Item& c, const ControlState&) { f.showTabs(c); }},
      {Kind::TabSheet,
       [](Item& c, QWidget* parent) -> QWidget* {
         // A page belongs to its page control from the start, with its tab shown or not.
         auto* page = new QWidget;
         static_cast<QTabWidget*>(parent)->addTab(page, QString::fromUtf8(c.def->caption));
         return page;
       },
       nullptr, true, true, filled,
       [](FormWindow& f, Item& c, const ControlState&) {
         f.showTabs(f.controlsByKey_.at(std::string(c.def->parent.key())));
       }},
      {Kind::Memo,
       [](Item& c, QWidget* parent) -> QWidget* {
         auto* memo = new QPlainTextEdit(parent);
         memo->setReadOnly(c.def->readOnly);
         memo->setLineWrapMode(QPlainTextEdit::NoWrap);
         return memo;
       },
       [](FormWindow& f, Item& c) {
         auto* memo = static_cast<QPlainTextEdit*>(c.widget);
         connect(memo, &QPlainTextEdit::textChanged, &f, [&f, key = c.def->name, memo] {
           if (f.applying_) return;
           f.controls_.setItems(key, memo->toPlainText().split(QLatin1Char('\n')));
           f.deliver(key, UiEvent::Change);
         });
       },
       false, true, boxed,
       [](FormWindow&, Item& c, const ControlState& s) {
         auto* memo = static_cast<QPlainTextEdit*>(c.widget);
         const QString text = s.items.join(QLatin1Char('\n'));
         if (memo->toPlainText() != text) {
           memo->setPlainText(text);
           memo->moveCursor(QTextCursor::End);
         }
       }},
      {Kind::Image,
       [](Item& c, QWidget* parent) -> QWidget* {
         auto* image = new QLabel(parent);
         image->setPixmap(QPixmap::fromImage(
             loadPicture(c.def->picture)
                 .scaled(c.def->width, c.def->height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
         return image;
       },
       nullptr, false, false, [](FormWindow&, Item&, const ControlState&, const QColor&) {}, nullptr},
      {Kind::Chart, [](Item&, QWidget* parent) -> QWidget* { return new ChartWidget(parent); }, nullptr, false, false,
       [](FormWindow&, Item& c, const ControlState&, const QColor& background) {
         static_cast<ChartWidget*>(c.widget)->setBackground(background);
       },
       [](FormWindow&, Item& c, const ControlState& s) {
         auto* chart = static_cast<ChartWidget*>(c.widget);
         chart->setTitle(s.text);
         chart->setBars(chartBars(s.items));
       }},
      {Kind::Timer, nullptr, nullptr, false, false, nullptr, nullptr},
  };
  const auto at = static_cast<size_t>(kind);
  if (at >= std::size(views) || views[at].kind != kind) throw std::logic_error("a kind of control without its view");
  return views[at];
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
  controls_.setVisible(form_.name, false);
  deliver(form_.name, UiEvent::Close);
  // A form refuses a close by showing itself again: the window stays, and nobody hears of a close.
  if (controls_.visible(form_.name)) {
    event->ignore();
    return;
  }
  event->accept();
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
