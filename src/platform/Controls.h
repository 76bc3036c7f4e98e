#pragma once
// The control store: the state of every control of every window, keyed by the control's name.
//
// Names are Controls (ControlName.h): the constants each form declares in its name list. The store holds only
// what a form declared (declareForm, or declare()): a write to any other name changes nothing and a read of it
// gives the default state; both are reported by undeclared(), which tests check to be empty. No control
// (Control{}, a target left unnamed) is neither stored nor reported.
//
// Decoders and workers write it and read it back at once, from any thread; nothing here touches a widget.
// The windows mirror each change into the widget of the same objectName on the GUI thread, and send the
// operator's input back here. What follows from a control (a gauge following its box) is a rule installed
// with onTextChanged(), so it holds with no display at all.
//
// The concurrency rules of the store (checked in builds with QV_CHECKS, see platform/Checks.h):
// - any thread may write and read it; only the GUI thread touches a widget, and only the display does, in its
//   flush (the observer below only posts the flush);
// - a text rule runs under the store's lock and takes no other lock: no exchange, no file, no GUI request;
// - nothing holding the store's lock asks the display anything (a Yes/No box waits for the GUI thread, which
//   needs this lock to show anything).
//
// Windows themselves are entries too, named after their window variable ("FormMain", "FormConfig"): their
// text is the caption, visible means shown, enabled means it takes input.

#include "platform/ControlName.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv {

// Colours as the toolkit's colour values, 0x00BBGGRR.
using Colour = uint32_t;

namespace colour {
constexpr Colour Red = 0x0000FF;
constexpr Colour Lime = 0x00FF00;
constexpr Colour Blue = 0xFF0000;
constexpr Colour White = 0xFFFFFF;
constexpr Colour Black = 0x000000;
constexpr Colour Navy = 0x800000;
constexpr Colour Grey = 0x808080;
constexpr Colour Silver = 0xC0C0C0;
constexpr Colour Aqua = 0xFFFF00;
constexpr Colour Yellow = 0x00FFFF;
constexpr Colour Green = 0x008000;
// The main window's background, and the "light green" of the UR96 flag boxes (229, 254, 206).
constexpr Colour Background = 0xCEFEE5;
constexpr Colour LightGreen = 0xCEFEE5;
// System colours, resolved by the display: the tags mark them as not being RGB values.
constexpr Colour ButtonFace = 0xFF00000F;
constexpr Colour Window = 0xFF000005;
constexpr Colour WindowText = 0xFF000008;
// "Take the colour of the parent again".
constexpr Colour Parent = 0xFE000000;

constexpr bool isSystem(Colour c) { return (c & 0xFF000000u) != 0; }
constexpr Colour fromRgb(int r, int g, int b) {
  return static_cast<Colour>((b & 0xFF) << 16 | (g & 0xFF) << 8 | (r & 0xFF));
}
}  // namespace colour

struct ControlState {
  // clang-format off
  QString text;             // the text of an edit, the caption of anything else
  Colour color = colour::Window;
  Colour fontColor = colour::WindowText;
  bool checked = false;
  bool enabled = true;
  bool visible = true;
  int itemIndex = -1;       // selected item of a list, radio group or page control
  QStringList items;        // items of a list or radio group; panels of a status bar
  int position = 0;         // progress bars and gauges
  int minimum = 0;
  int maximum = 100;
  QString hint;
  int fontSize = 0;         // the font's pixel height; 0: the window's font
  // clang-format on
  // What an edit takes (its design, fixed): at most this many characters (0: no limit), digits alone. The store
  // keeps an edit's text as the widget would: a text beyond these is refused whole and the edit keeps its own.
  int maxLength = 0;
  bool digitsOnly = false;
};

// Whether an edit of that state can hold the text.
bool editTakes(const ControlState& edit, const QString& text);

// A font size in points as pixels, at the 96 dots per inch that the form designs are drawn for.
constexpr int pointsAsPixels(int points) { return (points * 96 + 36) / 72; }

class Controls {
 public:
  // Change rules run on the writer's thread, under the store's lock, right after the change; they may read and
  // write any control. They run only when the text really changed.
  using TextRule = std::function<void(Controls&, const QString& newText)>;

  // Something that mirrors the store (the display). Told once when the first change after the last
  // takeChanged() arrives, from the writer's thread; it must not call back into the store from there.
  class Observer {
   public:
    virtual ~Observer() = default;
    virtual void controlsChanged() = 0;
  };

  Controls() = default;
  Controls(const Controls&) = delete;
  Controls& operator=(const Controls&) = delete;

  // Design time: a control and its initial state. Declaring twice replaces the state and keeps the rules.
  void declare(Control name, const ControlState& initial);
  bool declared(Control name) const;
  // Keys written or read without having been declared: a control no form declares shows up here.
  std::vector<std::string> undeclared() const;

  ControlState state(Control name) const;

  QString text(Control name) const;
  void setText(Control name, const QString& text);
  Colour color(Control name) const;
  void setColor(Control name, Colour c);
  Colour fontColor(Control name) const;
  void setFontColor(Control name, Colour c);
  bool checked(Control name) const;
  void setChecked(Control name, bool on);
  bool enabled(Control name) const;
  void setEnabled(Control name, bool on);
  bool visible(Control name) const;
  void setVisible(Control name, bool on);
  int fontSize(Control name) const;
  void setFontSize(Control name, int pixels);

  int itemIndex(Control name) const;
  void setItemIndex(Control name, int index);
  QStringList items(Control name) const;
  void setItems(Control name, const QStringList& items);
  void addItem(Control name, const QString& item);
  // The text of the selected item, empty when none is selected.
  QString selectedItemText(Control name) const;
  // Selects an item of a drop-down list, whose text is then the selected item's (empty for none), in one step.
  void selectItem(Control name, int index);

  // Position is clamped into [minimum, maximum]; changing the range clamps the position again.
  int position(Control name) const;
  void setPosition(Control name, int position);
  int maximum(Control name) const;
  void setMaximum(Control name, int maximum);
  int minimum(Control name) const;
  void setRange(Control name, int minimum, int maximum);

  // Status bar panels, kept as the items of the status bar's entry.
  QString panel(Control name, int index) const;
  void setPanel(Control name, int index, const QString& text);

  // Toggles a lamp between its colour and white: its colour when it is white, white otherwise.
  void toggleLamp(Control name, Colour lit);

  // The rule of a control not declared yet is refused (and reported) as any other write to it.
  void onTextChanged(Control name, TextRule rule);

  void setObserver(Observer* observer);
  // The keys changed since the last call, in the order of their first change.
  std::vector<std::string> takeChanged();

 private:
  struct Entry {
    ControlState state;
    std::vector<TextRule> textRules;
    bool changed = false;
  };

  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  using Map = std::unordered_map<std::string, Entry, Hash, std::equal_to<>>;

  // The declared entry of a name; null (and the name reported) for one no form declared. Lock held.
  Entry* entry(Control name);
  const Entry* find(Control name) const;
  void touch(std::string_view key, Entry& e);  // lock held
  void report(std::string_view key) const;     // lock held
  template <typename T>
  T get(Control name, T ControlState::*member) const;
  template <typename T>
  void set(Control name, T ControlState::*member, const T& value);

  mutable std::recursive_mutex mutex_;
  Map map_;
  mutable std::vector<std::string> undeclared_;
  std::vector<std::string> changed_;
  Observer* observer_ = nullptr;
};

// Numbers read back from a control's text: C locale, decimal, optional sign and blanks around.
// Empty or not a number gives false and leaves *out as it was.
bool parseInt(const QString& text, long long* out);
bool parseDouble(const QString& text, long double* out);
// The number a control's text holds, read as above: false, and *out as it was, when it holds none.
bool boxInt(const Controls& controls, Control box, long long* out);
bool boxNumber(const Controls& controls, Control box, long double* out);

}  // namespace qv
