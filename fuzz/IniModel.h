#pragma once
// A second reader of settings files, for the targets over INI files, written from the reading rules of
// platform/Ini.h: the file cut into lines first (CR LF, LF, a lone CR), each line then one of a section, an
// entry or nothing; the first matching entry of any section of the name, in file order. And a writer of
// INI text from fuzz input, with the names a target looks for, so that the input reaches them.

#include "FuzzSupport.h"

#include <optional>
#include <string>
#include <vector>

namespace qv::fuzz {

inline bool iniBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

inline std::string iniTrim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && iniBlank(s[b])) ++b;
  while (e > b && iniBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

inline bool iniSameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto low = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (low(a[i]) != low(b[i])) return false;
  }
  return true;
}

struct IniLine {
  enum Kind { Nothing, Section, Entry } kind = Nothing;
  std::string name, value;
  size_t valueAt = 0;  // an entry's value: where it starts in the file, and its length
  size_t valueSize = 0;
  size_t begin = 0, end = 0, next = 0;  // the line's first byte, its line end, the next line's first byte
};

inline std::vector<IniLine> iniLines(const std::string& file) {
  std::vector<IniLine> lines;
  size_t at = file.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (at < file.size()) {
    IniLine l;
    l.begin = at;
    size_t e = at;
    while (e < file.size() && file[e] != '\r' && file[e] != '\n') ++e;
    l.end = e;
    l.next = e == file.size() ? e : (file[e] == '\r' && e + 1 < file.size() && file[e + 1] == '\n') ? e + 2 : e + 1;
    at = l.next;
    const std::string raw = file.substr(l.begin, l.end - l.begin);
    const std::string t = iniTrim(raw);
    if (!t.empty() && t[0] == '[') {
      l.kind = IniLine::Section;
      l.name = iniTrim(t.substr(1, t.find(']') == std::string::npos ? std::string::npos : t.find(']') - 1));
    } else if (t.find('=') != std::string::npos) {
      l.kind = IniLine::Entry;
      const size_t eq = raw.find('=');
      l.name = iniTrim(raw.substr(0, eq));
      size_t vb = eq + 1, ve = raw.size();
      while (vb < ve && iniBlank(raw[vb])) ++vb;
      while (ve > vb && iniBlank(raw[ve - 1])) --ve;
      l.value = raw.substr(vb, ve - vb);
      // An empty value sits right after the '=' (a write puts the new value there, the blanks after it kept).
      l.valueAt = l.begin + (ve > vb ? vb : eq + 1);
      l.valueSize = ve - vb;
    }
    lines.push_back(l);
  }
  return lines;
}

// The entry's line for [section] key among the file's lines, if the file holds one.
inline std::optional<IniLine> iniEntry(const std::vector<IniLine>& lines, const std::string& section,
                                       const std::string& key) {
  bool in = false;
  for (const IniLine& l : lines) {
    if (l.kind == IniLine::Section) in = iniSameName(l.name, section);
    if (in && l.kind == IniLine::Entry && iniSameName(l.name, key)) return l;
  }
  return std::nullopt;
}

inline std::optional<IniLine> iniEntry(const std::string& file, const std::string& section, const std::string& key) {
  return iniEntry(iniLines(file), section, key);
}

// What a read of [section] key hands back: the value without one pair of matching quotes, or the default
// without its trailing blanks; up to a zero byte, at most 511 bytes.
inline std::string iniValue(const std::vector<IniLine>& lines, const std::string& section, const std::string& key,
                            const std::string& fallback) {
  std::string v;
  if (const std::optional<IniLine> e = iniEntry(lines, section, key)) {
    v = e->value;
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
  } else {
    v = fallback;
    while (!v.empty() && iniBlank(v.back())) v.pop_back();
  }
  v = v.substr(0, v.find('\0'));
  return v.substr(0, 511);
}

inline std::string iniValue(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& fallback) {
  return iniValue(iniLines(file), section, key, fallback);
}

// A number as the rules take one: a sign or none, then decimal digits and nothing else, within 32 bits.
inline std::optional<int32_t> iniNumber(const std::string& t) {
  size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
  if (i == t.size()) return std::nullopt;
  for (size_t k = i; k < t.size(); ++k) {
    if (t[k] < '0' || t[k] > '9') return std::nullopt;
  }
  while (i + 1 < t.size() && t[i] == '0') ++i;  // leading zeros say nothing
  if (t.size() - i > 10) return std::nullopt;
  const long long magnitude = std::stoll(t.substr(i));
  const long long v = t[0] == '-' ? -magnitude : magnitude;
  if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(v);
}

// INI text from the input: sections and keys mostly from the names given (their case changed, blanks around
// them), values of every kind a number may be mistaken for, lines of any bytes, every line end.
inline std::string iniText(Input& in, const std::vector<std::string>& sections, const std::vector<std::string>& keys) {
  std::string file;
  if ((in.u8() & 0x0F) == 0) file += "\xEF\xBB\xBF";
  const auto blanks = [&](uint8_t how) { return std::string(how & 0x03, (how & 0x04) ? '\t' : ' '); };
  const auto recase = [&](std::string s, uint8_t how) {
    if ((how & 0x08) != 0) {
      for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      }
    }
    return s;
  };
  static const char* const kValues[] = {"0",
                                        "1",
                                        "-1",
                                        "+7",
                                        "2147483647",
                                        "2147483648",
                                        "-2147483648",
                                        "-2147483649",
                                        "",
                                        "12a",
                                        " 3 ",
                                        "\"5\"",
                                        "'6'",
                                        "\"8'",
                                        "1 2",
                                        "00000000000042",
                                        "99999999999",
                                        "-",
                                        "+",
                                        "0x10",
                                        ("3\x00"
                                         "4"),
                                        "\t-0\t"};
  while (!in.empty()) {
    const uint8_t how = in.u8();
    switch (how % 6) {
      case 0:
        file += blanks(how >> 4) + "[" + blanks(how >> 5) + recase(sections[in.u8() % sections.size()], how) +
                blanks(how >> 6) + "]";
        break;
      case 1:
      case 2:
      case 3: {
        const uint8_t v = in.u8();
        file += blanks(how >> 4) + recase(keys[in.u8() % keys.size()], how) + blanks(how >> 5) + "=" + blanks(v >> 6);
        if (v % 32 < std::size(kValues)) {
          const char* value = kValues[v % 32];
          file += v % 32 == 20 ? std::string(value, 3) : std::string(value);
        } else {
          const std::vector<uint8_t> b = in.bytes(in.u8() % 600);
          file.append(b.begin(), b.end());
        }
        break;
      }
      case 4: {
        const std::vector<uint8_t> b = in.bytes(in.u8() % 40);
        file.append(b.begin(), b.end());
        break;
      }
      case 5: break;
    }
    static const char* const kEnds[] = {"\r\n", "\n", "\r", "\r\n"};
    file += kEnds[(how >> 6) & 0x03];
  }
  return file;
}

}  // namespace qv::fuzz
