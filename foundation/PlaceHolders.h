#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace foundation {

// Gives the value of one placeholder (its name in lower case with the percent
// signs, e.g. "%appdata%"); called only for placeholders that occur.
using TPlaceholderLookup = std::function<QString(const QString &placeholder)>;

// The known placeholders in lower case, in the order of the table.
const QStringList &PlaceholderNames();

// The platform's value of a known placeholder, folders without a trailing
// separator; empty for an unknown one.
QString PlaceholderValue(const QString &placeholder);

// Replaces the known placeholders ("%appdata%", "%progpath%", ...; letter case
// ignored) by their values. Other text, unknown "%name%" included, stays as it
// is. Inserted values are not scanned again. The lookup gives raw values;
// folder values lose one trailing separator here.
QString ExpandPlaceholders(const QString &text);
QString ExpandPlaceholders(const QString &text, const TPlaceholderLookup &lookup);

} // namespace foundation
