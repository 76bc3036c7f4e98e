#pragma once
// The control store: the state of every control of every window, keyed by the control's name.
//
// Decoders and workers write it and read it back at once, from any thread; nothing here touches a widget.
// The windows mirror each change into the widget of the same objectName on the GUI thread, and send the
// operator's input back here. What follows from a control (a gauge following its box) is a rule installed
// with onTextChanged(), so it holds with no display at all.
//
// Windows themselves are entries too, named after their window variable ("FormMain", "FormConfig"): their
// text is the caption, visible means shown, enabled means it takes input.

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
};

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

  // Design time: a control and its initial state. Declaring twice replaces the state.
  void declare(std::string_view name, const ControlState& initial);
  bool declared(std::string_view name) const;
  // Names written or read without having been declared: a typo in a control name shows up here.
  std::vector<std::string> undeclared() const;

  ControlState state(std::string_view name) const;

  QString text(std::string_view name) const;
  void setText(std::string_view name, const QString& text);
  Colour color(std::string_view name) const;
  void setColor(std::string_view name, Colour c);
  Colour fontColor(std::string_view name) const;
  void setFontColor(std::string_view name, Colour c);
  bool checked(std::string_view name) const;
  void setChecked(std::string_view name, bool on);
  bool enabled(std::string_view name) const;
  void setEnabled(std::string_view name, bool on);
  bool visible(std::string_view name) const;
  void setVisible(std::string_view name, bool on);

  int itemIndex(std::string_view name) const;
  void setItemIndex(std::string_view name, int index);
  QStringList items(std::string_view name) const;
  void setItems(std::string_view name, const QStringList& items);
  void addItem(std::string_view name, const QString& item);
  // The text of the selected item, empty when none is selected.
  QString selectedItemText(std::string_view name) const;
  // Selects an item of a drop-down list, whose text is then the selected item's (empty for none), in one step.
  void selectItem(std::string_view name, int index);

  // Position is clamped into [minimum, maximum]; changing the range clamps the position again.
  int position(std::string_view name) const;
  void setPosition(std::string_view name, int position);
  int maximum(std::string_view name) const;
  void setMaximum(std::string_view name, int maximum);
  int minimum(std::string_view name) const;
  void setRange(std::string_view name, int minimum, int maximum);

  // Status bar panels, kept as the items of the status bar's entry.
  QString panel(std::string_view name, int index) const;
  void setPanel(std::string_view name, int index, const QString& text);

  // Toggles a lamp between its colour and white: its colour when it is white, white otherwise.
  void toggleLamp(std::string_view name, Colour lit);

  void onTextChanged(std::string_view name, TextRule rule);

  void setObserver(Observer* observer);
  // The names changed since the last call, in the order of their first change.
  std::vector<std::string> takeChanged();

 private:
  struct Entry {
    ControlState state;
    std::vector<TextRule> textRules;
    bool declared = false;
    bool changed = false;
  };

  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  using Map = std::unordered_map<std::string, Entry, Hash, std::equal_to<>>;

  Entry& entry(std::string_view name);               // lock held
  const Entry* find(std::string_view name) const;    // lock held
  void touch(std::string_view name, Entry& e);       // lock held
  template <typename T>
  T get(std::string_view name, T ControlState::*member) const;
  template <typename T>
  void set(std::string_view name, T ControlState::*member, const T& value);

  mutable std::recursive_mutex mutex_;
  Map map_;
  mutable std::vector<std::string> undeclaredReads_;
  std::vector<std::string> changed_;
  Observer* observer_ = nullptr;
};

// Numbers read back from a control's text: C locale, decimal, optional sign and blanks around.
// Empty or not a number gives false and leaves *out as it was.
bool parseInt(const QString& text, long long* out);
bool parseDouble(const QString& text, long double* out);

}  // namespace qv
