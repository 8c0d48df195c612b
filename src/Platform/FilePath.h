#pragma once
// File names as the system holds them (bytes) and as text. Names are UTF-8 as a rule, but any bytes
// are allowed: a byte that is not part of valid UTF-8 becomes the lone surrogate U+DC00 + byte,
// which valid text never holds, and turns back into that byte. Every name thus survives the round
// trip, and opens the file it came from rather than one whose name holds a replacement character.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace FilePath {
QString decode(QByteArrayView native);
QByteArray encode(QStringView path);
// The path holds bytes that are not UTF-8: code that goes through Qt's own file names would reach
// another file.
bool hasRawBytes(QStringView path);
} // namespace FilePath
