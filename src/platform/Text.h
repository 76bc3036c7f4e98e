#pragma once
// The system's 8-bit texts (from the pack, from EVT.ini, for files and for the pack) and the characters the
// program shows for them. The Traditional Chinese texts are Big5 in their 8-bit form: a pair of bytes that
// Big5 reads as one character is that character on screen, and every other byte is the Latin-1 character of its
// value. The two directions undo each other, so a text read from the pack, shown and written again gives the
// same bytes back.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace qv::platform {

// Whether this Qt can encode Big5. Checked once, on the first call (the start makes that call); the answer
// holds for the whole run.
bool big5Available();

// A text as a file holds it: characters U+0000 to U+00FF as their own byte, every other character in Big5. A
// character that Big5 has no code for, or any such character when Big5 is not available, becomes '?'.
QByteArray big5Bytes(const QString& text);

// The same, cut before the first character that would take it past `limit` bytes (a character is never
// split).
QByteArray big5BytesAtMost(const QString& text, qsizetype limit);

// An 8-bit text as the program shows it: each pair of bytes that Big5 reads as one character beyond U+00FF and
// writes back as the same pair becomes that character; any other byte the character of its value (Latin-1).
// big5Bytes gives the bytes back exactly. Without Big5 every byte is read as Latin-1.
QString big5Text(QByteArrayView bytes);

}  // namespace qv::platform
