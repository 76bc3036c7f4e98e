// The INI reader and writer: whatever the file's bytes and the names, a read gives a value no longer than the
// buffer holds and without a zero byte; a write refuses exactly the entries that cannot stand on one line, and
// otherwise changes the value's bytes alone (or adds the entry's lines alone), so that the value reads back as
// written, blanks around it and one pair of quotes aside, and every other entry reads as before.

#include "FuzzSupport.h"
#include "platform/Ini.h"

#include <string>

using namespace qv;

namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string trim(std::string s) {
  while (!s.empty() && blank(s.front())) s.erase(s.begin());
  while (!s.empty() && blank(s.back())) s.pop_back();
  return s;
}

QByteArrayView view(const std::string& s) { return QByteArrayView(s.data(), static_cast<qsizetype>(s.size())); }

// What a value written as these bytes reads back as: its blanks dropped, one pair of matching quotes
// removed, cut to what the buffer holds.
std::string readBack(const std::string& written, int bufferSize) {
  std::string v = trim(written);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
  if (bufferSize <= 0) return {};
  if (v.size() > static_cast<size_t>(bufferSize - 1)) v.resize(static_cast<size_t>(bufferSize - 1));
  return v;
}

// Whether the entry can be written at all: names not empty once trimmed, nothing that would end a line or a C
// string, no ']' ending the section's name early, no '=' ending the key early, no key that reads as a section.
bool writable(const std::string& section, const std::string& key, const std::string& value) {
  const std::string s = trim(section), k = trim(key);
  const auto oneLine = [](const std::string& t) {
    return t.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
  };
  return !s.empty() && !k.empty() && oneLine(s) && oneLine(k) && oneLine(value) && s.find(']') == std::string::npos &&
         k.find('=') == std::string::npos && k.front() != '[';
}

// The entry's value, or nothing when the file holds no such entry: two reads with different defaults agree
// only on a value the file holds.
std::optional<std::string> entryOf(const std::string& file, const std::string& section, const std::string& key) {
  // clang-format off
  const QByteArray a = platform::profileValue(view(file), view(section), view(key), "\x01" "a", 4096);
  const QByteArray b = platform::profileValue(view(file), view(section), view(key), "\x01" "b", 4096);
  // clang-format on
  if (a != b) return std::nullopt;
  return a.toStdString();
}

bool sameName(const std::string& a, const std::string& b) {
  const std::string x = trim(a), y = trim(b);
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(x[i]) != lower(y[i])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const auto take = [&](size_t most) {
    const std::vector<uint8_t> b = in.bytes(in.u8() % most);
    return std::string(b.begin(), b.end());
  };
  const int bufferSize = in.u16() % 700;
  const std::string section = take(24), key = take(24), value = take(64), fallback = take(24);
  const std::string otherSection = take(24), otherKey = take(24);
  const std::vector<uint8_t> rest = in.rest();
  const std::string file(rest.begin(), rest.end());

  // Any read: within the buffer, no zero byte.
  const QByteArray read = platform::profileValue(view(file), view(section), view(key), view(fallback), bufferSize);
  QV_FUZZ_CHECK(read.size() <= std::max(0, bufferSize - 1));
  QV_FUZZ_CHECK(!read.contains('\0'));
  const std::optional<std::string> before = entryOf(file, section, key);
  if (!before) {
    // A missing entry gives the default, its trailing blanks dropped.
    std::string f = fallback.substr(0, fallback.find('\0'));
    while (!f.empty() && blank(f.back())) f.pop_back();
    if (f.size() > static_cast<size_t>(std::max(0, bufferSize - 1)))
      f.resize(static_cast<size_t>(std::max(0, bufferSize - 1)));
    QV_FUZZ_CHECK(read.toStdString() == f);
  }

  const std::optional<QByteArray> written =
      platform::withProfileValue(view(file), view(section), view(key), view(value));
  QV_FUZZ_CHECK(written.has_value() == writable(section, key, value));
  if (!written) return 0;
  const std::string out = written->toStdString();

  // The value reads back as written.
  const QByteArray again = platform::profileValue(view(out), view(section), view(key), view(fallback), bufferSize);
  QV_FUZZ_CHECK(again.toStdString() == readBack(value, bufferSize));

  // Every other byte is kept: the file is the new one with one stretch of it changed. Replacing a value
  // changes bytes within its line only; adding an entry inserts and removes nothing.
  size_t prefix = 0;
  while (prefix < file.size() && prefix < out.size() && file[prefix] == out[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < file.size() - prefix && suffix < out.size() - prefix &&
         file[file.size() - 1 - suffix] == out[out.size() - 1 - suffix])
    ++suffix;
  const std::string removed = file.substr(prefix, file.size() - prefix - suffix);
  const std::string inserted = out.substr(prefix, out.size() - prefix - suffix);
  if (before) {
    QV_FUZZ_CHECK(removed.find_first_of("\r\n") == std::string::npos);
    QV_FUZZ_CHECK(inserted.find_first_of("\r\n") == std::string::npos);
  } else {
    QV_FUZZ_CHECK(removed.empty());
    QV_FUZZ_CHECK(inserted.find(trim(key) + '=' + value) != std::string::npos);
  }

  // Another entry reads as before.
  if (!(sameName(otherSection, section) && sameName(otherKey, key))) {
    QV_FUZZ_CHECK(entryOf(file, otherSection, otherKey) == entryOf(out, otherSection, otherKey));
  }

  // Writing the same value again changes nothing more (a value with blanks around it gains them again, as the
  // stored value is the text between them).
  if (trim(value) != value) return 0;
  const std::optional<QByteArray> twice = platform::withProfileValue(view(out), view(section), view(key), view(value));
  QV_FUZZ_CHECK(twice && *twice == *written);
  return 0;
}
