#include "foundation/StringUtils.h"

QString SafeFormatArgs(const QString &pattern, const TFormatArgs &args)
{
    return SafeFormatArgs(pattern, args, TFormatSettings{});
}

QString SafeFormatArgs(const QString &pattern, const TFormatArgs &args,
                       const TFormatSettings &settings)
{
    QString result;
    if (TryFormatArgs(pattern, args, settings, result))
        return result;
    return QStringLiteral("Format error: ") + pattern;
}

bool TryFormatArgs(const QString &pattern, const TFormatArgs &, const TFormatSettings &,
                   QString &result)
{
    result = pattern; // placeholder until the parser lands
    return true;
}

QString PluralText(const QString &none, const QString &one, const QString &many, int count,
                   bool)
{
    if (count == 1)
        return one;
    if (count == 0 && !none.isEmpty())
        return none;
    return SafeFormat(many, count);
}

QString ChooseText(bool flag, const QString &ifTrue, const QString &ifFalse)
{
    return flag ? ifTrue : ifFalse;
}

QString ReplaceChar(const QString &text, QChar from, QChar to)
{
    QString result = text;
    result.replace(from, to);
    return result;
}

bool IsMisreadUtf8(const QString &text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if ((text[i].unicode() & 0xC0) == 0xC0 && (text[i + 1].unicode() & 0xC0) == 0x80)
            return true;
    }
    return false;
}
