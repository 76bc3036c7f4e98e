#include "platform/Controls.h"

#include "platform/Checks.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace qv {
namespace {

// The store's lock, counted as held for the rules' checks (no GUI request under it, no other lock from a rule).
struct StoreLock {
  explicit StoreLock(std::recursive_mutex& mutex) : guard(mutex) {}
  std::lock_guard<std::recursive_mutex> guard;
  platform::checks::Holding held{platform::checks::Lock::Store};
};

}  // namespace

void Controls::report(std::string_view key) const {
  if (std::find(undeclared_.begin(), undeclared_.end(), key) == undeclared_.end()) undeclared_.emplace_back(key);
}

Controls::Entry* Controls::entry(Control name) {
  if (name.none()) return nullptr;
  auto it = map_.find(name.key());
  if (it != map_.end()) return &it->second;
  report(name.key());
  return nullptr;
}

const Controls::Entry* Controls::find(Control name) const {
  if (name.none()) return nullptr;
  auto it = map_.find(name.key());
  if (it != map_.end()) return &it->second;
  report(name.key());
  return nullptr;
}

void Controls::touch(std::string_view key, Entry& e) {
  if (e.changed) return;
  e.changed = true;
  changed_.emplace_back(key);
  if (changed_.size() == 1 && observer_ != nullptr) observer_->controlsChanged();
}

void Controls::declare(Control name, const ControlState& initial) {
  if (name.none()) return;
  const StoreLock lock(mutex_);
  auto it = map_.find(name.key());
  if (it == map_.end()) it = map_.emplace(std::string(name.key()), Entry{}).first;
  it->second.state = initial;
  touch(name.key(), it->second);
}

bool Controls::declared(Control name) const {
  const StoreLock lock(mutex_);
  return map_.find(name.key()) != map_.end();
}

std::vector<std::string> Controls::undeclared() const {
  const StoreLock lock(mutex_);
  std::vector<std::string> names = undeclared_;
  std::sort(names.begin(), names.end());
  return names;
}

ControlState Controls::state(Control name) const {
  const StoreLock lock(mutex_);
  const Entry* e = find(name);
  return e != nullptr ? e->state : ControlState{};
}

template <typename T>
T Controls::get(Control name, T ControlState::*member) const {
  const StoreLock lock(mutex_);
  const Entry* e = find(name);
  return e != nullptr ? e->state.*member : ControlState{}.*member;
}

template <typename T>
void Controls::set(Control name, T ControlState::*member, const T& value) {
  const StoreLock lock(mutex_);
  Entry* e = entry(name);
  if (e == nullptr || e->state.*member == value) return;
  e->state.*member = value;
  touch(name.key(), *e);
}

QString Controls::text(Control name) const { return get(name, &ControlState::text); }

bool editTakes(const ControlState& edit, const QString& text) {
  if (edit.maxLength > 0 && text.size() > edit.maxLength) return false;
  return !edit.digitsOnly || std::all_of(text.begin(), text.end(),
                                         [](QChar ch) { return ch >= QLatin1Char('0') && ch <= QLatin1Char('9'); });
}

void Controls::setText(Control name, const QString& text) {
  const StoreLock lock(mutex_);
  Entry* e = entry(name);
  if (e == nullptr || e->state.text == text || !editTakes(e->state, text)) return;
  e->state.text = text;
  touch(name.key(), *e);
  const auto rules = e->textRules;
  for (const auto& rule : rules) rule(*this, text);
}

Colour Controls::color(Control name) const { return get(name, &ControlState::color); }
void Controls::setColor(Control name, Colour c) { set(name, &ControlState::color, c); }
Colour Controls::fontColor(Control name) const { return get(name, &ControlState::fontColor); }
void Controls::setFontColor(Control name, Colour c) { set(name, &ControlState::fontColor, c); }
bool Controls::checked(Control name) const { return get(name, &ControlState::checked); }
void Controls::setChecked(Control name, bool on) { set(name, &ControlState::checked, on); }
bool Controls::enabled(Control name) const { return get(name, &ControlState::enabled); }
void Controls::setEnabled(Control name, bool on) { set(name, &ControlState::enabled, on); }
bool Controls::visible(Control name) const { return get(name, &ControlState::visible); }
void Controls::setVisible(Control name, bool on) { set(name, &ControlState::visible, on); }
int Controls::fontSize(Control name) const { return get(name, &ControlState::fontSize); }
void Controls::setFontSize(Control name, int pixels) { set(name, &ControlState::fontSize, std::max(pixels, 0)); }

int Controls::itemIndex(Control name) const { return get(name, &ControlState::itemIndex); }
void Controls::setItemIndex(Control name, int index) { set(name, &ControlState::itemIndex, index); }
QStringList Controls::items(Control name) const { return get(name, &ControlState::items); }
void Controls::setItems(Control name, const QStringList& items) { set(name, &ControlState::items, items); }

void Controls::addItem(Control name, const QString& item) {
  const StoreLock lock(mutex_);
  Entry* e = entry(name);
  if (e == nullptr) return;
  e->state.items.append(item);
  touch(name.key(), *e);
}

QString Controls::selectedItemText(Control name) const {
  const StoreLock lock(mutex_);
  const Entry* e = find(name);
  if (e == nullptr) return {};
  const int i = e->state.itemIndex;
  return i >= 0 && i < e->state.items.size() ? e->state.items.at(i) : QString();
}

void Controls::selectItem(Control name, int index) {
  const StoreLock lock(mutex_);
  setItemIndex(name, index);
  setText(name, selectedItemText(name));
}

int Controls::position(Control name) const { return get(name, &ControlState::position); }

void Controls::setPosition(Control name, int position) {
  const StoreLock lock(mutex_);
  Entry* e = entry(name);
  if (e == nullptr) return;
  const int p = std::clamp(position, e->state.minimum, std::max(e->state.minimum, e->state.maximum));
  if (e->state.position == p) return;
  e->state.position = p;
  touch(name.key(), *e);
}

int Controls::maximum(Control name) const { return get(name, &ControlState::maximum); }
int Controls::minimum(Control name) const { return get(name, &ControlState::minimum); }

void Controls::setMaximum(Control name, int maximum) {
  const StoreLock lock(mutex_);
  const Entry* e = entry(name);
  if (e == nullptr) return;
  setRange(name, e->state.minimum, maximum);
}

void Controls::setRange(Control name, int minimum, int maximum) {
  const StoreLock lock(mutex_);
  Entry* e = entry(name);
  if (e == nullptr) return;
  const int top = std::max(minimum, maximum);
  const int p = std::clamp(e->state.position, minimum, top);
  if (e->state.minimum == minimum && e->state.maximum == maximum && e->state.position == p) return;
  e->state.minimum = minimum;
  e->state.maximum = maximum;
  e->state.position = p;
  touch(name.key(), *e);
}

QString Controls::panel(Control name, int index) const {
  const StoreLock lock(mutex_);
  const Entry* e = find(name);
  if (e == nullptr || index < 0 || index >= e->state.items.size()) return {};
  return e->state.items.at(index);
}

void Controls::setPanel(Control name, int index, const QString& text) {
  const StoreLock lock(mutex_);
  Entry* e = entry(name);
  if (e == nullptr || index < 0) return;
  QStringList& panels = e->state.items;
  while (panels.size() <= index) panels.append(QString());
  if (panels[index] == text) return;
  panels[index] = text;
  touch(name.key(), *e);
}

void Controls::toggleLamp(Control name, Colour lit) {
  const StoreLock lock(mutex_);
  Entry* e = entry(name);
  if (e == nullptr) return;
  e->state.color = e->state.color == colour::White ? lit : colour::White;
  touch(name.key(), *e);
}

void Controls::onTextChanged(Control name, TextRule rule) {
  const StoreLock lock(mutex_);
  Entry* e = entry(name);
  if (e != nullptr) e->textRules.push_back(std::move(rule));
}

void Controls::setObserver(Observer* observer) {
  const StoreLock lock(mutex_);
  observer_ = observer;
  if (observer_ != nullptr && !changed_.empty()) observer_->controlsChanged();
}

std::vector<std::string> Controls::takeChanged() {
  const StoreLock lock(mutex_);
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

bool boxInt(const Controls& controls, Control box, long long* out) { return parseInt(controls.text(box), out); }

bool boxNumber(const Controls& controls, Control box, long double* out) { return parseDouble(controls.text(box), out); }

}  // namespace qv
