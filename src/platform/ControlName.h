#pragma once
// A control's name as the compiler sees it. Every form declares its controls once, as constants in a name
// list beside the form (QV_CONTROL below); the store, the decoders, the commands and the tests use those
// constants. A Control is made from a text only explicitly, and the store takes nothing else, so a bare string
// or a misspelt name does not compile.
//
// The key is the store's key and the widget's name. A control that shares its name with a control of another
// window is keyed "Window.Control" (QV_CONTROL_KEYED); its constant keeps the control's own name.

#include <cstddef>
#include <functional>
#include <ostream>
#include <string_view>

namespace qv {

class Control {
 public:
  // No control: the parent of a form's top-level controls.
  constexpr Control() = default;
  explicit constexpr Control(const char* key) : key_(key) {}

  constexpr std::string_view key() const { return key_; }
  constexpr const char* c_str() const { return key_; }
  constexpr bool none() const { return key_[0] == '\0'; }

  friend constexpr bool operator==(Control a, Control b) { return a.key() == b.key(); }
  friend constexpr bool operator<(Control a, Control b) { return a.key() < b.key(); }
  // For test messages.
  friend std::ostream& operator<<(std::ostream& os, Control c) { return os << c.key(); }

 private:
  const char* key_ = "";
};

// The parent of a control placed on the form itself.
inline constexpr Control kFormItself{};

}  // namespace qv

template <>
struct std::hash<qv::Control> {
  size_t operator()(qv::Control c) const noexcept { return std::hash<std::string_view>{}(c.key()); }
};

// Declares a control of a form, keyed by its own name.
#define QV_CONTROL(name) \
  inline constexpr ::qv::Control name { #name }
// Declares a control whose key is qualified by its window ("Window.Control").
#define QV_CONTROL_KEYED(name, key) \
  inline constexpr ::qv::Control name { key }
