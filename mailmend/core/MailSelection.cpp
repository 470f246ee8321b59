#include "mailmend/core/MailSelection.h"

#include "foundation/LangUtils.h"
#include "foundation/StringUtils.h"

#include <QStringList>

#include <algorithm>

namespace mailmend {

using namespace foundation;

namespace {

// A selection of more numbers than this is surely a typing mistake (a range
// such as 1-99999999999); it would only fill the memory.
constexpr qint64 MaxSelectedNumbers = qint64(1) << 24;

bool ReadNumber(const QString &text, qint64 &number)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    for (const QChar c : trimmed) {
        if (c < u'0' || c > u'9')
            return false;
    }
    bool ok = false;
    number = trimmed.toLongLong(&ok);
    return ok && number >= 1;
}

} // namespace

TMailSelection TMailSelection::Numbers(std::vector<qint64> numbers)
{
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    TMailSelection selection;
    selection.FAll = false;
    selection.FNumbers = std::move(numbers);
    return selection;
}

std::optional<TMailSelection> TMailSelection::Parse(const QString &list, QString *error)
{
    // The part that is wrong, or the whole list where that part is empty.
    const auto fail = [&](const QString &part) -> std::optional<TMailSelection> {
        const QString shown = part.trimmed().isEmpty() ? list.trimmed() : part.trimmed();
        if (error)
            *error = SafeFormat(Translate("\"%s\" is not a list of mail numbers such as 2,5-7."), shown);
        return std::nullopt;
    };
    std::vector<qint64> numbers;
    for (const QString &part : list.split(u',')) {
        const qsizetype dash = part.indexOf(u'-');
        qint64 first = 0;
        qint64 last = 0;
        if (dash < 0) {
            if (!ReadNumber(part, first))
                return fail(part);
            last = first;
        } else if (!ReadNumber(part.left(dash), first) || !ReadNumber(part.mid(dash + 1), last) || last < first) {
            return fail(part);
        }
        if (last - first >= MaxSelectedNumbers - qint64(numbers.size()))
            return fail(part);
        for (qint64 n = first; n <= last; ++n)
            numbers.push_back(n);
    }
    return Numbers(std::move(numbers));
}

bool TMailSelection::Contains(qint64 number) const
{
    return FAll || std::binary_search(FNumbers.begin(), FNumbers.end(), number);
}

qint64 TMailSelection::CountIn(qint64 count) const
{
    if (FAll)
        return count;
    return qint64(std::upper_bound(FNumbers.begin(), FNumbers.end(), count) - FNumbers.begin());
}

std::optional<qint64> TMailSelection::FirstMissing(qint64 count) const
{
    if (FAll)
        return std::nullopt;
    if (!FNumbers.empty() && FNumbers.front() < 1)
        return FNumbers.front();
    const auto beyond = std::upper_bound(FNumbers.begin(), FNumbers.end(), count);
    if (beyond == FNumbers.end())
        return std::nullopt;
    return *beyond;
}

} // namespace mailmend
