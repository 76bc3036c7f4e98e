#pragma once
// A text coder of the Base64 kind over an alphabet of the program's own: three bytes become four printable
// symbols. A short last group is filled with spaces, not "=", so text of this coder decodes to the data
// followed by zero bytes up to the next multiple of three.
//
// Both are pure functions over bytes: any input gives a result, nothing is read or written past the bytes
// given, and nothing throws.

#include <QByteArray>
#include <QByteArrayView>

namespace qv::mainwindow {

// The 64 symbols; the symbol at position v stands for the 6-bit value v.
inline constexpr char kText64Alphabet[] = "Mk4Tq8Ab+Wz1Ho6Pr/Ex3Lu9Cf0Yi5Gn2Rw7KsDjVmNtIaOyBhUeSlFpJcQgXdZv";
static_assert(sizeof kText64Alphabet == 65);

// Writes the symbols for data into out (replacing what it held; a QByteArray keeps the terminating zero
// behind them). With lineBreaks, CR LF follows every 76th symbol, also at the very end. Returns the number of
// symbols, line breaks not counted: always a multiple of 4.
int EncodeText64(QByteArray& out, QByteArrayView data, bool lineBreaks);

// Decodes text up to its end or its first zero byte into out (replacing what it held) and returns the number
// of bytes decoded; out holds exactly those bytes. CR and LF are skipped; a space stands for 0; any other
// character outside the alphabet is skipped as well, so it neither counts nor shifts the symbols after it.
// Each group of four symbols gives three bytes, a last group of k < 4 symbols k - 1 bytes (none for 0 or 1).
int DecodeText64(QByteArrayView text, QByteArray& out);

}  // namespace qv::mainwindow
