#pragma once

// A plain in-memory model of the mail folder rules, written without the
// streaming machinery: the whole file is decoded, split into lines, and the
// lines are walked message by message. Tests and the fuzz harness compare
// the scan and the recovery against it.

#include "mailmend/core/MailFolder.h"

#include <QByteArray>

#include <string>
#include <vector>

using namespace foundation;
using namespace mailmend;

namespace MailFolderModel {

struct TModelMail
{
    qint64 SeparatorOffset = 0;
    qint64 DigitOffset = 0;
    qint64 Size = 0;
    quint32 Status = 0;
    char Digit = 0;

    bool operator==(const TModelMail &) const = default;
};

struct TModelResult
{
    qint64 Messages = 0;
    std::vector<TModelMail> Deleted;
    QByteArray Recovered; // the file with every deleted mail recovered
};

struct TStatus
{
    bool IsStatusLine = false;
    bool Valid = false;
    quint32 Value = 0;
    size_t LastDigit = 0;
};

inline int HexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// The status line rules: the 17 characters of the name in any case, then
// blanks and control characters, hex digits, blanks, and "," or the end of
// the line; decided within MaxStatusLineHead units, at most 32 bits.
inline TStatus ReadStatus(const std::u16string &line)
{
    static const char prefix[] = "x-mozilla-status:";
    TStatus status;
    if (line.size() < 17)
        return status;
    for (size_t i = 0; i < 17; ++i) {
        char16_t c = line[i];
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + 32);
        if (c != char16_t(prefix[i]))
            return status;
    }
    status.IsStatusLine = true;
    size_t i = 17;
    while (i < line.size() && line[i] <= 0x20)
        ++i;
    quint64 v = 0;
    size_t digits = 0;
    for (; i < line.size() && HexValue(line[i]) >= 0; ++i) {
        v = v * 16 + quint64(HexValue(line[i]));
        if (v > 0xFFFFFFFFu)
            return status;
        ++digits;
        status.LastDigit = i;
    }
    if (digits == 0)
        return status;
    while (i < line.size() && line[i] <= 0x20)
        ++i;
    size_t decidedAt = line.size();
    if (i < line.size()) {
        if (line[i] != u',')
            return status;
        decidedAt = i + 1;
    }
    if (decidedAt > size_t(mailmend::MaxStatusLineHead))
        return status;
    status.Valid = true;
    status.Value = quint32(v);
    return status;
}

inline TModelResult Scan(const QByteArray &file, bool markUnread)
{
    int unit = 1;
    bool bigEndian = false;
    int bom = 0;
    const auto b = [&](qsizetype i) { return uchar(file[i]); };
    if (file.size() >= 3 && b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF)
        bom = 3;
    else if (file.size() >= 2 && b(0) == 0xFF && b(1) == 0xFE)
        bom = 2, unit = 2;
    else if (file.size() >= 2 && b(0) == 0xFE && b(1) == 0xFF)
        bom = 2, unit = 2, bigEndian = true;

    std::u16string text;
    for (qsizetype i = bom; i + unit <= file.size(); i += unit) {
        if (unit == 1)
            text.push_back(b(i));
        else
            text.push_back(bigEndian ? char16_t(b(i) << 8 | b(i + 1)) : char16_t(b(i) | b(i + 1) << 8));
    }
    const auto byteOffset = [&](size_t unitIndex) { return qint64(bom) + qint64(unitIndex) * unit; };

    // Lines as (start unit, text).
    std::vector<std::pair<size_t, std::u16string>> lines;
    size_t start = 0;
    std::u16string current;
    for (size_t k = 0; k < text.size(); ++k) {
        const char16_t c = text[k];
        if (c == u'\r' || c == u'\n') {
            lines.emplace_back(start, current);
            current.clear();
            if (c == u'\r' && k + 1 < text.size() && text[k + 1] == u'\n')
                ++k;
            start = k + 1;
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty())
        lines.emplace_back(start, current);

    TModelResult result;
    result.Recovered = file;
    bool inMessage = false, inHeader = false, statusSeen = false;
    qint64 messageStart = 0;
    qsizetype open = -1; // the deleted mail of the current message
    const auto endMessage = [&](qint64 end) {
        if (open >= 0)
            result.Deleted[size_t(open)].Size = end - messageStart;
        open = -1;
    };
    const auto startMessage = [&](qint64 at) {
        endMessage(at);
        ++result.Messages;
        inMessage = inHeader = true;
        statusSeen = false;
        messageStart = at;
    };
    for (const auto &[lineStart, line] : lines) {
        if (line.compare(0, 5, u"From ") == 0) {
            startMessage(byteOffset(lineStart));
            continue;
        }
        if (!inMessage)
            startMessage(0);
        if (!inHeader)
            continue;
        if (line.empty()) {
            inHeader = false;
            continue;
        }
        const TStatus status = statusSeen ? TStatus() : ReadStatus(line);
        if (!status.IsStatusLine)
            continue;
        statusSeen = true;
        if (!status.Valid || !(status.Value & mailmend::MailFlagDeleted))
            continue;
        TModelMail mail;
        mail.SeparatorOffset = messageStart;
        mail.DigitOffset = byteOffset(lineStart + status.LastDigit);
        mail.Status = status.Value;
        mail.Digit = char(line[status.LastDigit]);
        result.Deleted.push_back(mail);
        open = qsizetype(result.Deleted.size()) - 1;
        const char digit = mailmend::RestoredStatusDigit(status.Value, markUnread);
        result.Recovered[mail.DigitOffset + (bigEndian ? 1 : 0)] = digit;
    }
    endMessage(file.size());
    return result;
}

} // namespace MailFolderModel
