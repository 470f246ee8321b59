#include "foundation/TextEncoding.h"

namespace foundation {

namespace {

// Windows-1252's characters for the bytes 0x80-0x9F; the five undefined
// bytes keep the C1 control of their own value.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The byte 0x80-0x9F that Windows-1252 decodes to unit, or -1.
int Cp1252HighByte(char16_t unit)
{
    for (int k = 0; k < 32; ++k) {
        if (Cp1252High[k] == unit)
            return 0x80 + k;
    }
    return -1;
}

bool StartsWith(QByteArrayView bytes, QByteArrayView mark)
{
    return bytes.size() >= mark.size() && bytes.first(mark.size()) == mark;
}

} // namespace

QString Cp1252ToUnicode(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<uchar>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? QChar(Cp1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

QByteArray UnicodeToCp1252(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        char out = '?';
        // A character outside the basic plane becomes one '?', not two.
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out = static_cast<char>(u);
        } else if (const int b = Cp1252HighByte(u); b >= 0) {
            out = static_cast<char>(b);
        }
        bytes.append(out);
    }
    return bytes;
}

bool IsCp1252HighChar(char16_t unit)
{
    return Cp1252HighByte(unit) >= 0;
}

TByteOrderMark DetectByteOrderMark(QByteArrayView bytes)
{
    if (StartsWith(bytes, "\xEF\xBB\xBF"))
        return TByteOrderMark::Utf8;
    if (StartsWith(bytes, "\xFF\xFE"))
        return TByteOrderMark::Utf16LE;
    if (StartsWith(bytes, "\xFE\xFF"))
        return TByteOrderMark::Utf16BE;
    return TByteOrderMark::None;
}

int ByteOrderMarkSize(TByteOrderMark mark)
{
    switch (mark) {
    case TByteOrderMark::Utf8:
        return 3;
    case TByteOrderMark::Utf16LE:
    case TByteOrderMark::Utf16BE:
        return 2;
    case TByteOrderMark::None:
        break;
    }
    return 0;
}

} // namespace foundation
