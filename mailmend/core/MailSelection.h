#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

namespace mailmend {

// Which of a folder's deleted mails to recover: all of them, or a set of
// their numbers (1-based among the deleted mails, in file order, as the scan
// and the listing number them).
class TMailSelection
{
public:
    // Every deleted mail.
    static TMailSelection All() { return TMailSelection(); }
    // The given numbers (sorted and made unique here).
    static TMailSelection Numbers(std::vector<qint64> numbers);

    // Reads a list such as "2,5-7": numbers and ranges separated by commas,
    // blanks allowed around them. Returns nothing and sets error (translated)
    // when the text is not such a list, a number is below 1, or a range runs
    // backwards.
    static std::optional<TMailSelection> Parse(const QString &list, QString *error = nullptr);

    bool IsAll() const { return FAll; }
    // The chosen numbers, ascending; empty for All.
    const std::vector<qint64> &ChosenNumbers() const { return FNumbers; }
    bool Contains(qint64 number) const;
    // How many mails of a scan with count deleted mails are chosen.
    qint64 CountIn(qint64 count) const;
    // The first chosen number that a scan with count deleted mails does not
    // have; nothing when all are there.
    std::optional<qint64> FirstMissing(qint64 count) const;

private:
    TMailSelection() = default;

    bool FAll = true;
    std::vector<qint64> FNumbers;
};

} // namespace mailmend
