#include "foundation/PlaceHolders.h"

const QStringList &PlaceholderNames()
{
    static const QStringList names;
    return names;
}
QString PlaceholderValue(const QString &) { return {}; }
QString ExpandPlaceholders(const QString &text) { return text; }
QString ExpandPlaceholders(const QString &text, const TPlaceholderLookup &) { return text; }
