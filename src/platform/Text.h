#pragma once
// Texts written to files. The system's 8-bit texts are kept byte for byte (Latin-1 in a QString); the
// Traditional Chinese texts are Unicode in the program and Big5 in the files it writes.

#include <QByteArray>
#include <QString>

namespace qv::platform {

// Whether this Qt can encode Big5. Checked once, on the first call (the start makes that call); the answer
// holds for the whole run.
bool big5Available();

// A text as a file holds it: characters U+0000 to U+00FF as their own byte, every other character in Big5. A
// character that Big5 has no code for, or any such character when Big5 is not available, becomes '?'.
QByteArray big5Bytes(const QString& text);

}  // namespace qv::platform
