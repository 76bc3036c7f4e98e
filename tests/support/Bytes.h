#pragma once
// Bytes written as the tables write them: "55 AA 07 01".

#include <QByteArray>
#include <QString>

namespace qv::test {

inline QByteArray hex(const char* spaced) { return QByteArray::fromHex(QByteArray(spaced).replace(' ', "")); }

inline QString hexText(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }

}  // namespace qv::test
