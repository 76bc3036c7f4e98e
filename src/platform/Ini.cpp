#include "platform/Ini.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <climits>

namespace qv::platform {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }
bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(QByteArrayView a, QByteArrayView b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

QByteArrayView trimmed(QByteArrayView s) {
  qsizetype b = 0;
  qsizetype e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return s.sliced(b, e - b);
}

// A [from, to) range of the file's bytes.
struct Span {
  qsizetype from = 0;
  qsizetype to = 0;
};

struct Line {
  // clang-format off
  qsizetype begin = 0;    // first byte of the line
  qsizetype end = 0;      // first byte of its line end (or the end of the file)
  qsizetype next = 0;     // first byte of the next line
  bool blank = true;      // nothing but blanks
  enum { Other, Section, Entry } kind = Other;
  Span name;              // the section's or the key's name, blanks dropped
  Span value;             // an entry's value, blanks dropped; empty values sit just after the '='
  // clang-format on
};

// Walks the file line by line; parsing never looks past the bytes it was given.
class Lines {
 public:
  explicit Lines(QByteArrayView file) : file_(file) {
    // A byte-order mark that an editor put in front of the first line is no part of it.
    if (file_.startsWith("\xEF\xBB\xBF")) pos_ = 3;
  }

  bool next(Line* line) {
    if (pos_ >= file_.size()) return false;
    Line l;
    l.begin = pos_;
    qsizetype e = pos_;
    while (e < file_.size() && !isLineEnd(file_[e])) ++e;
    l.end = e;
    if (e < file_.size()) {
      const bool crlf = file_[e] == '\r' && e + 1 < file_.size() && file_[e + 1] == '\n';
      l.next = e + (crlf ? 2 : 1);
    } else {
      l.next = e;
    }
    pos_ = l.next;

    qsizetype cb = l.begin;
    qsizetype ce = l.end;
    while (cb < ce && isBlank(file_[cb])) ++cb;
    while (ce > cb && isBlank(file_[ce - 1])) --ce;
    l.blank = cb == ce;
    if (!l.blank && file_[cb] == '[') {
      l.kind = Line::Section;
      qsizetype close = cb + 1;
      while (close < ce && file_[close] != ']') ++close;
      l.name = trimmedSpan(cb + 1, close);
    } else if (!l.blank) {
      qsizetype eq = cb;
      while (eq < ce && file_[eq] != '=') ++eq;
      if (eq < ce) {
        l.kind = Line::Entry;
        l.name = trimmedSpan(cb, eq);
        l.value = trimmedSpan(eq + 1, ce);
        if (l.value.from == l.value.to) l.value = {eq + 1, eq + 1};
      }
    }
    *line = l;
    return true;
  }

  QByteArrayView text(Span s) const { return file_.sliced(s.from, s.to - s.from); }

 private:
  Span trimmedSpan(qsizetype from, qsizetype to) const {
    while (from < to && isBlank(file_[from])) ++from;
    while (to > from && isBlank(file_[to - 1])) --to;
    return {from, to};
  }

  QByteArrayView file_;
  qsizetype pos_ = 0;
};

// What the search found: the entry of the key, or else the first section of that name and its last line that
// is not blank.
struct Found {
  std::optional<Line> entry;
  std::optional<Line> sectionLastLine;
};

Found find(QByteArrayView file, QByteArrayView section, QByteArrayView key) {
  Found found;
  Lines lines(file);
  Line line;
  bool inSection = false;
  bool inFirstSection = false;
  while (lines.next(&line)) {
    if (line.kind == Line::Section) {
      inSection = sameName(lines.text(line.name), section);
      inFirstSection = inSection && !found.sectionLastLine;
      if (inFirstSection) found.sectionLastLine = line;
      continue;
    }
    if (!inSection) continue;
    if (inFirstSection && !line.blank) found.sectionLastLine = line;
    if (line.kind == Line::Entry && sameName(lines.text(line.name), key)) {
      found.entry = line;
      return found;
    }
  }
  return found;
}

QByteArray cut(QByteArray text, int bufferSize) {
  const qsizetype zero = text.indexOf('\0');
  if (zero >= 0) text.truncate(zero);
  text.truncate(std::max(0, bufferSize - 1));
  return text;
}

bool writable(QByteArrayView text) {
  for (char c : text) {
    if (c == '\0' || isLineEnd(c)) return false;
  }
  return true;
}

// The file's own line end: that of its first line, CR LF when it has none.
QByteArray lineEndOf(QByteArrayView file) {
  for (qsizetype i = 0; i < file.size(); ++i) {
    if (file[i] == '\n') return "\n";
    if (file[i] == '\r') return (i + 1 < file.size() && file[i + 1] == '\n') ? "\r\n" : "\r";
  }
  return "\r\n";
}

}  // namespace

QByteArray profileValue(QByteArrayView file, QByteArrayView section, QByteArrayView key, QByteArrayView fallback,
                        int bufferSize) {
  const Found found = find(file, trimmed(section), trimmed(key));
  if (!found.entry) {
    // The default is a C string: it ends at its first zero byte, and its trailing blanks are those before it.
    if (const qsizetype zero = fallback.indexOf('\0'); zero >= 0) fallback = fallback.first(zero);
    qsizetype e = fallback.size();
    while (e > 0 && isBlank(fallback[e - 1])) --e;
    return cut(fallback.first(e).toByteArray(), bufferSize);
  }
  QByteArrayView value = file.sliced(found.entry->value.from, found.entry->value.to - found.entry->value.from);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.sliced(1, value.size() - 2);
  return cut(value.toByteArray(), bufferSize);
}

std::optional<QByteArray> withProfileValue(QByteArrayView file, QByteArrayView section, QByteArrayView key,
                                           QByteArrayView value) {
  section = trimmed(section);
  key = trimmed(key);
  if (section.isEmpty() || key.isEmpty() || !writable(section) || !writable(key) || !writable(value) ||
      section.contains(']') || key.contains('=') || key.front() == '[')
    return std::nullopt;

  QByteArray out = file.toByteArray();
  const Found found = find(file, section, key);
  if (found.entry) {
    out.replace(found.entry->value.from, found.entry->value.to - found.entry->value.from, value.toByteArray());
    return out;
  }
  const QByteArray eol = lineEndOf(file);
  const QByteArray entry = key.toByteArray() + '=' + value.toByteArray() + eol;
  if (found.sectionLastLine) {
    const Line& last = *found.sectionLastLine;
    if (last.next > last.end) {
      out.insert(last.next, entry);
    } else {
      out.insert(last.end, eol + entry);
    }
    return out;
  }
  if (!out.isEmpty() && !isLineEnd(out.back()) && out != "\xEF\xBB\xBF") out += eol;
  out += '[' + section.toByteArray() + ']' + eol + entry;
  return out;
}

std::optional<int32_t> profileInteger(QByteArrayView text) {
  qsizetype i = 0;
  const bool negative = !text.isEmpty() && text[0] == '-';
  if (!text.isEmpty() && (text[0] == '-' || text[0] == '+')) ++i;
  if (i == text.size()) return std::nullopt;
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::optional<QByteArray> readProfileFile(const QString& path) {
  if (!fileExists(path)) return std::nullopt;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  return file.readAll();
}

QByteArray readProfileString(const QString& path, QByteArrayView section, QByteArrayView key, QByteArrayView fallback,
                             int bufferSize) {
  const std::optional<QByteArray> bytes = readProfileFile(path);
  return profileValue(bytes ? QByteArrayView(*bytes) : QByteArrayView(), section, key, fallback, bufferSize);
}

bool writeProfileString(const QString& path, QByteArrayView section, QByteArrayView key, QByteArrayView value) {
  QByteArray before;
  const QFileInfo info(path);
  if (info.exists()) {
    const std::optional<QByteArray> bytes = info.isFile() ? readProfileFile(path) : std::nullopt;
    if (!bytes) return false;
    before = *bytes;
  }
  const std::optional<QByteArray> after = withProfileValue(before, section, key, value);
  if (!after) return false;
  if (info.exists() && *after == before) return true;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(*after) != after->size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

QString currentFolderFile(const QString& name) { return QDir::current().filePath(name); }

bool fileExists(const QString& path) { return QFileInfo(path).isFile(); }

}  // namespace qv::platform
