#pragma once

// A plain in-memory model of the folder rewrite rules, written without the
// streaming machinery: the whole file is split into lines and each line is
// judged on its own. Tests and the fuzz harness compare the streaming
// implementation against it.

#include "mailmend/core/MailFolder.h"

#include <QByteArray>

#include <string>
#include <vector>

namespace MailFolderModel {

struct TModelResult
{
    qint64 Deleted = 0;
    qint64 Lines = 0;
    QByteArray Output; // the rewritten file (equal to the input when nothing is deleted)
};

inline bool ReadValue(const std::u16string &line, quint32 &value)
{
    static const char prefix[] = "x-mozilla-status:";
    if (line.size() < 17)
        return false;
    for (int i = 0; i < 17; ++i) {
        char16_t c = line[size_t(i)];
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + 32);
        if (c != char16_t(prefix[i]))
            return false;
    }
    size_t i = 17;
    while (i < line.size() && line[i] <= 0x20)
        ++i;
    // The value: hex digits, then blanks only, up to "," or the end.
    quint64 v = 0;
    size_t digits = 0;
    size_t decidedAt = line.size(); // units consumed when the value is decided
    bool ok = true;
    for (; i < line.size(); ++i) {
        const char16_t c = line[i];
        int d = -1;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        if (d < 0)
            break;
        v = v * 16 + quint64(d);
        ++digits;
        if (v > 0xFFFFFFFFu) {
            ok = false;
            decidedAt = i + 1;
            break;
        }
    }
    if (ok && digits == 0) {
        ok = false;
        decidedAt = i < line.size() ? i + 1 : line.size();
    } else if (ok) {
        while (i < line.size() && line[i] <= 0x20)
            ++i;
        if (i < line.size()) {
            ok = line[i] == u',';
            decidedAt = i + 1;
        }
    }
    if (decidedAt > size_t(MaxStatusLineHead))
        return false;
    value = quint32(v);
    return ok;
}

inline TModelResult Rewrite(const QByteArray &file, bool markUnread)
{
    int unit = 1;
    bool bigEndian = false;
    int bom = 0;
    const auto b = [&](int i) { return uchar(file[i]); };
    if (file.size() >= 3 && b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF)
        bom = 3;
    else if (file.size() >= 2 && b(0) == 0xFF && b(1) == 0xFE)
        bom = 2, unit = 2;
    else if (file.size() >= 2 && b(0) == 0xFE && b(1) == 0xFF)
        bom = 2, unit = 2, bigEndian = true;

    std::u16string text;
    qsizetype i = bom;
    for (; i + unit <= file.size(); i += unit) {
        if (unit == 1)
            text.push_back(b(int(i)));
        else
            text.push_back(bigEndian ? char16_t(b(int(i)) << 8 | b(int(i) + 1))
                                     : char16_t(b(int(i)) | b(int(i) + 1) << 8));
    }
    const QByteArray dangling = file.mid(i);

    std::vector<std::u16string> lines;
    std::u16string current;
    for (size_t k = 0; k < text.size(); ++k) {
        const char16_t c = text[k];
        if (c == u'\r' || c == u'\n') {
            lines.push_back(current);
            current.clear();
            if (c == u'\r' && k + 1 < text.size() && text[k + 1] == u'\n')
                ++k;
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty())
        lines.push_back(current);

    TModelResult result;
    result.Lines = qint64(lines.size());
    QByteArray out = file.left(bom);
    const auto put = [&](char16_t c) {
        if (unit == 1)
            out.append(char(c));
        else if (bigEndian)
            out.append(char(c >> 8)).append(char(c & 0xFF));
        else
            out.append(char(c & 0xFF)).append(char(c >> 8));
    };
    for (const std::u16string &line : lines) {
        quint32 value = 0;
        if (ReadValue(line, value) && (value & MailFlagDeleted)) {
            ++result.Deleted;
            for (const char c : StatusLineText(RestoredStatusValue(value, markUnread)))
                put(char16_t(uchar(c)));
        } else {
            for (const char16_t c : line)
                put(c);
        }
        put(u'\r');
        put(u'\n');
    }
    out.append(dangling);
    result.Output = result.Deleted > 0 ? out : file;
    return result;
}

} // namespace MailFolderModel
