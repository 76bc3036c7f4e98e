#pragma once
// Settings files of the private-profile kind: "[Section]" lines and "Key=Value" lines, read and written the way
// the program's settings files always were, not through QSettings (which would rewrite the whole file in its
// own form).
//
// Reading: section and key names match without regard to ASCII case; blanks (space, tab, vertical tab, form
// feed) around names and values are dropped; one pair of matching quotes ('...' or "...") around a value is
// removed; the first matching key of the first matching section wins (a section that appears twice is searched
// in file order); a line without '=' is no key. Lines end at CR LF, LF or a lone CR. A value ends at a zero
// byte, as a returned C string would. A UTF-8 byte-order mark at the start of the file is skipped. Missing
// file, section or key give the default. Any bytes give a value or the default; nothing here throws.
//
// Writing: the value's bytes are replaced in place; every other byte of the file, its line ends included, is
// kept. A missing key is added as the section's last line, a missing section at the end of the file, a missing
// file is created; new lines take the file's own line end (CR LF for a new file or a file with none).
//
// The functions over bytes are pure, for tests and fuzzing; the file functions put them over one file.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

namespace qv::platform {

// What a read hands back at most: the caller's buffer of 512 bytes with its terminating zero.
inline constexpr int kProfileBufferSize = 512;

// The value of [section] key in an INI file's bytes, or the default when the file holds none. At most
// bufferSize - 1 bytes come back; a default loses its trailing blanks.
QByteArray profileValue(QByteArrayView file, QByteArrayView section, QByteArrayView key, QByteArrayView fallback,
                        int bufferSize = kProfileBufferSize);

// The file's bytes after setting [section] key to value; nothing when the names or the value cannot be written
// as one line (an empty name, a line break or zero byte anywhere, a ']' in the section or '=' in the key).
std::optional<QByteArray> withProfileValue(QByteArrayView file, QByteArrayView section, QByteArrayView key,
                                           QByteArrayView value);

// The same over a file. A file that is missing or cannot be read gives the default.
QByteArray readProfileString(const QString& path, QByteArrayView section, QByteArrayView key, QByteArrayView fallback,
                             int bufferSize = kProfileBufferSize);
// False when the file cannot be read or written, or the entry cannot be written; the file is then unchanged.
// A file is replaced whole or not at all.
bool writeProfileString(const QString& path, QByteArrayView section, QByteArrayView key, QByteArrayView value);

// A value read as a number: an optional sign and decimal digits, nothing else, within the signed 32-bit range;
// nothing for any other text (an empty one included), so that a number too large is an error, not a wrapped
// value.
std::optional<int32_t> profileInteger(QByteArrayView text);

// The file's bytes, or nothing when it is missing or cannot be read.
std::optional<QByteArray> readProfileFile(const QString& path);

// The path of a file of that name in the current folder, as it is at the time of the call.
QString currentFolderFile(const QString& name);
// True when a regular file is at the path (a folder of that name is none).
bool fileExists(const QString& path);

}  // namespace qv::platform
