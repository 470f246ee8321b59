#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace foundation {

// Byte-level text encodings that Qt leaves to the caller: the Windows-1252
// code page applied byte for byte, and the byte-order marks that tell a
// file's Unicode encoding.

// Windows-1252 applied byte for byte: every byte decodes to one code unit
// (the five bytes the code page leaves undefined, 0x81, 0x8D, 0x8F, 0x90 and
// 0x9D, to the C1 control of the same value), so that decoding and encoding
// give back the same bytes.
QString Cp1252ToUnicode(QByteArrayView bytes);
// Characters outside the code page become '?' (a character outside the basic
// plane one '?', not two).
QByteArray UnicodeToCp1252(const QString &text);
// True when the code unit is what Windows-1252 makes of one of the bytes
// 0x80-0x9F.
bool IsCp1252HighChar(char16_t unit);

enum class TByteOrderMark {
    None,
    Utf8,    // EF BB BF
    Utf16LE, // FF FE
    Utf16BE, // FE FF
};

// The byte-order mark the bytes start with (a UTF-8 mark before the UTF-16
// ones; FF FE is always taken as UTF-16 LE).
TByteOrderMark DetectByteOrderMark(QByteArrayView bytes);
// Its length in bytes (0 for None).
int ByteOrderMarkSize(TByteOrderMark mark);

} // namespace foundation
