#include "foundation/NumberUtils.h"

#include "foundation/StringUtils.h"

#include <cmath>

namespace foundation {

QString FormatZeroPadded(int digits, qint64 value)
{
    // Digits of the magnitude in unsigned arithmetic, so that the smallest
    // qint64 works too; the sign goes before the zeros.
    const quint64 magnitude =
        value < 0 ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    QString text = QString::number(magnitude);
    if (digits > text.size())
        text.prepend(QString(digits - text.size(), u'0'));
    return value < 0 ? u'-' + text : text;
}

QString FormatPadded(int width, qint64 value)
{
    const QString text = QString::number(value);
    if (width >= 0)
        return text.rightJustified(width, u' ');
    // Negative width: left-aligned, as with the "-" flag of a pattern. The
    // width is taken as unsigned so that INT_MIN cannot overflow.
    const quint64 leftWidth = 0 - static_cast<quint64>(static_cast<qint64>(width));
    return text.leftJustified(static_cast<qsizetype>(leftWidth), u' ');
}

QString InsertGroupSeparators(const QString &text, int group, QChar sep)
{
    if (group <= 0)
        return text;
    QString result = text;
    for (qsizetype p = text.size(); p > group;) {
        p -= group;
        result.insert(p, sep);
    }
    return result;
}

QString FormatGrouped(int digits, int group, bool zeroPad, qint64 value)
{
    const QString text = zeroPad ? FormatZeroPadded(digits, value) : FormatPadded(digits, value);
    return InsertGroupSeparators(text, group, u' ');
}

namespace {

int DecimalsFor(double shown)
{
    if (shown < 10)
        return 2;
    if (shown < 100)
        return 1;
    return 0;
}

// Drops the decimals of a value that is whole within what they would show.
int TrimmedDecimals(double shown, int decimals)
{
    if (decimals != 1 && decimals != 2)
        return decimals;
    const double tolerance = decimals == 1 ? 0.1 : 0.01;
    const double nearest = std::nearbyint(shown); // ties to even in the default rounding mode
    return std::fabs(shown - nearest) < tolerance ? 0 : decimals;
}

} // namespace

QString FormatSize(bool decimalUnits, bool trimWhole, QChar decimalSeparator, qint64 size)
{
    static const char *const unitNames[2][3] = {{"KiB", "MiB", "GiB"}, {"kB", "MB", "GB"}};
    const qint64 base = decimalUnits ? 1000 : 1024;
    if (size < base)
        return QString::number(size) + QStringLiteral(" B");

    double shown = static_cast<double>(size) / base;
    int level = 1;
    while (level < 3 && shown >= base) {
        shown /= base;
        ++level;
    }
    int decimals = level == 3 ? 2 : DecimalsFor(shown);
    if (trimWhole)
        decimals = TrimmedDecimals(shown, decimals);

    TFormatSettings settings;
    if (!decimalSeparator.isNull())
        settings.decimalSeparator = decimalSeparator;
    const QString pattern = QStringLiteral("%.") + QString::number(decimals) + QStringLiteral("f ");
    return SafeFormatArgs(pattern, {shown}, settings)
           + QLatin1String(unitNames[decimalUnits ? 1 : 0][level - 1]);
}

} // namespace foundation
