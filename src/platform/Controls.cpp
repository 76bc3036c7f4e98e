#include "platform/Controls.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace qv {

Controls::Entry& Controls::entry(std::string_view name) {
  auto it = map_.find(name);
  if (it != map_.end()) return it->second;
  return map_.emplace(std::string(name), Entry{}).first->second;
}

const Controls::Entry* Controls::find(std::string_view name) const {
  auto it = map_.find(name);
  if (it != map_.end()) return &it->second;
  if (std::find(undeclaredReads_.begin(), undeclaredReads_.end(), name) == undeclaredReads_.end())
    undeclaredReads_.emplace_back(name);
  return nullptr;
}

void Controls::touch(std::string_view name, Entry& e) {
  if (e.changed) return;
  e.changed = true;
  changed_.emplace_back(name);
  if (changed_.size() == 1 && observer_ != nullptr) observer_->controlsChanged();
}

void Controls::declare(std::string_view name, const ControlState& initial) {
  std::lock_guard lock(mutex_);
  Entry& e = entry(name);
  e.state = initial;
  e.declared = true;
  touch(name, e);
}

bool Controls::declared(std::string_view name) const {
  std::lock_guard lock(mutex_);
  auto it = map_.find(name);
  return it != map_.end() && it->second.declared;
}

std::vector<std::string> Controls::undeclared() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names = undeclaredReads_;
  for (const auto& [name, e] : map_) {
    if (!e.declared && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

ControlState Controls::state(std::string_view name) const {
  std::lock_guard lock(mutex_);
  const Entry* e = find(name);
  return e != nullptr ? e->state : ControlState{};
}

template <typename T>
T Controls::get(std::string_view name, T ControlState::*member) const {
  std::lock_guard lock(mutex_);
  const Entry* e = find(name);
  return e != nullptr ? e->state.*member : ControlState{}.*member;
}

template <typename T>
void Controls::set(std::string_view name, T ControlState::*member, const T& value) {
  std::lock_guard lock(mutex_);
  Entry& e = entry(name);
  if (e.state.*member == value) return;
  e.state.*member = value;
  touch(name, e);
}

QString Controls::text(std::string_view name) const { return get(name, &ControlState::text); }

void Controls::setText(std::string_view name, const QString& text) {
  std::lock_guard lock(mutex_);
  Entry& e = entry(name);
  if (e.state.text == text) return;
  e.state.text = text;
  touch(name, e);
  const auto rules = e.textRules;
  for (const auto& rule : rules) rule(*this, text);
}

Colour Controls::color(std::string_view name) const { return get(name, &ControlState::color); }
void Controls::setColor(std::string_view name, Colour c) { set(name, &ControlState::color, c); }
Colour Controls::fontColor(std::string_view name) const { return get(name, &ControlState::fontColor); }
void Controls::setFontColor(std::string_view name, Colour c) { set(name, &ControlState::fontColor, c); }
bool Controls::checked(std::string_view name) const { return get(name, &ControlState::checked); }
void Controls::setChecked(std::string_view name, bool on) { set(name, &ControlState::checked, on); }
bool Controls::enabled(std::string_view name) const { return get(name, &ControlState::enabled); }
void Controls::setEnabled(std::string_view name, bool on) { set(name, &ControlState::enabled, on); }
bool Controls::visible(std::string_view name) const { return get(name, &ControlState::visible); }
void Controls::setVisible(std::string_view name, bool on) { set(name, &ControlState::visible, on); }

int Controls::itemIndex(std::string_view name) const { return get(name, &ControlState::itemIndex); }
void Controls::setItemIndex(std::string_view name, int index) { set(name, &ControlState::itemIndex, index); }
QStringList Controls::items(std::string_view name) const { return get(name, &ControlState::items); }
void Controls::setItems(std::string_view name, const QStringList& items) { set(name, &ControlState::items, items); }

void Controls::addItem(std::string_view name, const QString& item) {
  std::lock_guard lock(mutex_);
  Entry& e = entry(name);
  e.state.items.append(item);
  touch(name, e);
}

QString Controls::selectedItemText(std::string_view name) const {
  std::lock_guard lock(mutex_);
  const Entry* e = find(name);
  if (e == nullptr) return {};
  const int i = e->state.itemIndex;
  return i >= 0 && i < e->state.items.size() ? e->state.items.at(i) : QString();
}

void Controls::selectItem(std::string_view name, int index) {
  std::lock_guard lock(mutex_);
  setItemIndex(name, index);
  setText(name, selectedItemText(name));
}

int Controls::position(std::string_view name) const { return get(name, &ControlState::position); }

void Controls::setPosition(std::string_view name, int position) {
  std::lock_guard lock(mutex_);
  Entry& e = entry(name);
  const int p = std::clamp(position, e.state.minimum, std::max(e.state.minimum, e.state.maximum));
  if (e.state.position == p) return;
  e.state.position = p;
  touch(name, e);
}

int Controls::maximum(std::string_view name) const { return get(name, &ControlState::maximum); }
int Controls::minimum(std::string_view name) const { return get(name, &ControlState::minimum); }

void Controls::setMaximum(std::string_view name, int maximum) {
  std::lock_guard lock(mutex_);
  setRange(name, entry(name).state.minimum, maximum);
}

void Controls::setRange(std::string_view name, int minimum, int maximum) {
  std::lock_guard lock(mutex_);
  Entry& e = entry(name);
  const int top = std::max(minimum, maximum);
  const int p = std::clamp(e.state.position, minimum, top);
  if (e.state.minimum == minimum && e.state.maximum == maximum && e.state.position == p) return;
  e.state.minimum = minimum;
  e.state.maximum = maximum;
  e.state.position = p;
  touch(name, e);
}

QString Controls::panel(std::string_view name, int index) const {
  std::lock_guard lock(mutex_);
  const Entry* e = find(name);
  if (e == nullptr || index < 0 || index >= e->state.items.size()) return {};
  return e->state.items.at(index);
}

void Controls::setPanel(std::string_view name, int index, const QString& text) {
  if (index < 0) return;
  std::lock_guard lock(mutex_);
  Entry& e = entry(name);
  QStringList& panels = e.state.items;
  while (panels.size() <= index) panels.append(QString());
  if (panels[index] == text) return;
  panels[index] = text;
  touch(name, e);
}

void Controls::toggleLamp(std::string_view name, Colour lit) {
  std::lock_guard lock(mutex_);
  Entry& e = entry(name);
  e.state.color = e.state.color == colour::White ? lit : colour::White;
  touch(name, e);
}

void Controls::onTextChanged(std::string_view name, TextRule rule) {
  std::lock_guard lock(mutex_);
  entry(name).textRules.push_back(std::move(rule));
}

void Controls::setObserver(Observer* observer) {
  std::lock_guard lock(mutex_);
  observer_ = observer;
  if (observer_ != nullptr && !changed_.empty()) observer_->controlsChanged();
}

std::vector<std::string> Controls::takeChanged() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  names.swap(changed_);
  for (const auto& name : names) {
    auto it = map_.find(name);
    if (it != map_.end()) it->second.changed = false;
  }
  return names;
}

namespace {

locale_t cLocale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

// The text between blanks, as Latin-1 bytes; empty when there is nothing but blanks.
QByteArray trimmedBytes(const QString& text) { return text.trimmed().toLatin1(); }

}  // namespace

bool parseInt(const QString& text, long long* out) {
  const QByteArray bytes = trimmedBytes(text);
  if (bytes.isEmpty()) return false;
  const char* begin = bytes.constData();
  if (!(begin[0] == '-' || begin[0] == '+' || (begin[0] >= '0' && begin[0] <= '9'))) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = strtoll_l(begin, &end, 10, cLocale());
  // The whole text: a NUL inside it ends the C reader early, not the number.
  if (errno != 0 || end == begin || end != begin + bytes.size()) return false;
  *out = v;
  return true;
}

bool parseDouble(const QString& text, long double* out) {
  const QByteArray bytes = trimmedBytes(text);
  if (bytes.isEmpty()) return false;
  const char* begin = bytes.constData();
  // Decimal numbers only: no hexadecimal, infinity or NaN spellings.
  for (const char c : bytes) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return false;
  }
  char* end = nullptr;
  errno = 0;
  const long double v = strtold_l(begin, &end, cLocale());
  if (errno != 0 || end == begin || end != begin + bytes.size()) return false;
  *out = v;
  return true;
}

}  // namespace qv
