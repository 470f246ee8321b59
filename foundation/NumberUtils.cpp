#include "foundation/NumberUtils.h"

QString FormatZeroPadded(int digits, qint64 value) { return QString::number(value); }
QString FormatPadded(int width, qint64 value) { return QString::number(value); }
QString InsertGroupSeparators(const QString &text, int, QChar) { return text; }
QString FormatGrouped(int digits, int group, bool zeroPad, qint64 value)
{
    return InsertGroupSeparators(zeroPad ? FormatZeroPadded(digits, value)
                                         : FormatPadded(digits, value),
                                 group, u' ');
}
QString FormatSize(bool, bool, QChar, qint64 size) { return QString::number(size); }
