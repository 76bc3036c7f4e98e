#pragma once
// One window built from its form description: every control a widget whose objectName is the control's name,
// placed where the description puts it. The window shows the store's state of its controls (apply) and hands
// the operator's input to the store and then to the form's logic. GUI thread only.

#include "platform/Controls.h"
#include "platform/Form.h"

#include <QWidget>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QButtonGroup;
class QTabWidget;
class QTimer;

namespace qv::gui {

// Shows an exception's message the way the program shows every exception that reaches the message loop.
void showException(QWidget* parent, const QString& message);

// The widget's objectName for a store key: a control that shares its name with a control of another window is
// kept in the store as "Window.Control"; its widget is still named after the control.
QString objectNameFor(std::string_view key);

class FormWindow : public QWidget {
  Q_OBJECT

 public:
  FormWindow(Controls& controls, FormLogic& logic);

  const FormDef& form() const { return form_; }
  // The client area, as printing renders it.
  QWidget* canvas() const { return canvas_; }
  // The widget of a control (nullptr for a timer or an unknown name).
  QWidget* widget(qv::Control name) const;
  // The store keys this window shows: the form's own and its controls'.
  std::vector<std::string> keys() const;
  // Shows the store's present state of one of those keys, changed since the last flush.
  void apply(std::string_view key);
  // Around each flush of the display: a lamp that showed a blink since an earlier flush shows the store's colour
  // again at the end of this one. endFlush() is true while a lamp still shows a blink.
  void beginFlush();
  bool endFlush();

 signals:
  // The operator or the program closed the window (a close the form refused is none).
  void closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Item {
    const ControlDef* def = nullptr;
    QWidget* widget = nullptr;
    QTimer* timer = nullptr;
    QButtonGroup* radios = nullptr;
    std::vector<qv::Control> pages;  // a page control's pages, in their order
    // The colours last given to the widget's palette (the store's, the one shown, the text's): a palette set
    // again to what it holds still costs Qt a resolve against the widget's whole ancestry.
    std::optional<std::array<QRgb, 3>> paletteColours;
    std::optional<int> fontSize;  // the pixel height last given to the widget's font
  };

  // What the window does with a control of a kind (the table in FormWindow.cpp).
  struct KindView {
    Kind kind;
    QWidget* (*make)(Item& c, QWidget* parent);  // none: not a control with a widget
    void (*input)(FormWindow& window, Item& c);  // hands the operator's input on; none: it takes none
    bool container;                              // holds other controls (no events of its own)
    bool palette;                                // its colours are its palette's
    void (*paint)(FormWindow& window, Item& c, const ControlState& s, const QColor& background);
    void (*show)(FormWindow& window, Item& c, const ControlState& s);  // beyond colours, font, enabled, visible
  };
  static const KindView& kindView(Kind kind);

  void build(const ControlDef& def);
  QWidget* parentFor(const ControlDef& def) const;
  void connectInput(Item& c);
  void applyWindow(const ControlState& s);
  void applyControl(Item& c, const ControlState& s);
  void applyColours(Item& c, const ControlState& s);
  void applyFont(Item& c, const ControlState& s);
  void applyRadioItems(Item& c, const ControlState& s);
  void showTabs(Item& pageControl);
  // The colour a control shows, its parents' where it takes its parent's.
  Colour effectiveColour(qv::Control name) const;
  void refreshInheritedColours();
  void deliver(qv::Control name, UiEvent event);

  Controls& controls_;
  FormLogic& logic_;
  const FormDef& form_;
  QWidget* canvas_ = nullptr;
  std::unordered_map<std::string, Item> controlsByKey_;
  bool applying_ = false;
  bool applyingChange_ = false;  // apply(): a lamp follows the change, with a blink where it is back
  uint64_t flushNo_ = 0;
  struct Blink {
    Item* lamp;
    uint64_t since;  // the flush that showed it
  };
  std::vector<Blink> blinks_;
  std::vector<Item*> lamps_;
  bool built_ = false;
  bool placed_ = false;
};

}  // namespace qv::gui
