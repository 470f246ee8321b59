#pragma once

#include <QChar>
#include <QString>
#include <QtGlobal>

namespace foundation {

// Decimal text with at least `digits` digits, zero-filled on the left and never
// cut. A negative value gets its minus sign before the zeros: -7 with 3 digits
// gives "-007". digits <= 0 gives the plain decimal text.
QString FormatZeroPadded(int digits, qint64 value);

// Decimal text right-aligned in `width` characters (blank-filled, never cut).
// Width 0 gives the plain text; a negative width left-aligns the text in
// -width characters (blanks on the right), like the "-" flag of "%-6d".
QString FormatPadded(int width, qint64 value);

// Inserts `sep` between groups of `group` characters counted from the right
// end of the text, over all its characters. group <= 0 leaves the text as is.
QString InsertGroupSeparators(const QString &text, int group, QChar sep);

// FormatZeroPadded or FormatPadded, then groups separated by a blank.
QString FormatGrouped(int digits, int group, bool zeroPad, qint64 value);

// Byte size as "1023 B", "1.50 KiB", "10.0 MiB", "3.00 GiB" (1024-based) or with
// kB/MB/GB (1000-based). decimalSeparator 0 means the locale's. With trimWhole a
// value within 0.1 (one decimal) or 0.01 (two decimals) of a whole number is
// written without decimals.
QString FormatSize(bool decimalUnits, bool trimWhole, QChar decimalSeparator, qint64 size);

} // namespace foundation
