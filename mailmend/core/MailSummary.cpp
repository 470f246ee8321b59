#include "mailmend/core/MailSummary.h"

#include <gmime/gmime.h>

#include <memory>

namespace mailmend {

using namespace foundation;

namespace {

struct TGFree
{
    void operator()(char *p) const { g_free(p); }
};
using TGString = std::unique_ptr<char, TGFree>;

struct TGObjectUnref
{
    void operator()(gpointer p) const { g_object_unref(p); }
};

struct TDateTimeUnref
{
    void operator()(GDateTime *p) const { g_date_time_unref(p); }
};

// The library is set up once per process; its parser options say how raw
// 8-bit text in headers is read: UTF-8 where it is valid, else the legacy
// code page of mail programs.
GMimeParserOptions *ParserOptions()
{
    static GMimeParserOptions *options = [] {
        g_mime_init();
        GMimeParserOptions *o = g_mime_parser_options_new();
        const char *charsets[] = {"UTF-8", "windows-1252", nullptr};
        g_mime_parser_options_set_fallback_charsets(o, charsets);
        return o;
    }();
    return options;
}

// The raw values of the first Date, From and Subject fields of a header
// block, with folded lines joined (the line breaks before continuation
// lines removed) and NUL bytes, which would end the texts early for the
// library, made blanks. Empty where a field is missing. One pass, ended as
// soon as all three are found.
struct TRawFields
{
    QByteArray Date;
    QByteArray From;
    QByteArray Subject;
};

qsizetype LineEnd(const QByteArray &block, qsizetype pos)
{
    while (pos < block.size() && block[pos] != '\n' && block[pos] != '\r')
        ++pos;
    return pos;
}

// Where the line after the one ending at end starts.
qsizetype NextLine(const QByteArray &block, qsizetype end)
{
    if (end < block.size() && block[end] == '\r')
        ++end;
    if (end < block.size() && block[end] == '\n')
        ++end;
    return end;
}

TRawFields RawFields(const QByteArray &block)
{
    TRawFields fields;
    struct TWanted
    {
        QByteArrayView Name;
        QByteArray *Value;
        bool Found;
    } wanted[] = {{"Date", &fields.Date, false}, {"From", &fields.From, false}, {"Subject", &fields.Subject, false}};
    int missing = 3;
    qsizetype pos = 0;
    while (pos < block.size() && missing > 0) {
        qsizetype end = LineEnd(block, pos);
        for (TWanted &field : wanted) {
            const qsizetype n = field.Name.size();
            if (field.Found || end - pos <= n || block[pos + n] != ':'
                || qstrnicmp(block.constData() + pos, field.Name.data(), n) != 0)
                continue;
            QByteArray value = block.mid(pos + n + 1, end - pos - n - 1);
            // Continuation lines start with a blank or a tab.
            for (qsizetype next = NextLine(block, end);
                 next < block.size() && (block[next] == ' ' || block[next] == '\t'); next = NextLine(block, end)) {
                end = LineEnd(block, next);
                value += block.mid(next, end - next);
            }
            *field.Value = value.replace('\0', ' ').trimmed();
            field.Found = true;
            --missing;
            break;
        }
        pos = NextLine(block, end);
    }
    return fields;
}

QString DecodeText(const QByteArray &raw)
{
    if (raw.isEmpty())
        return {};
    const TGString text(g_mime_utils_header_decode_text(ParserOptions(), raw.constData()));
    return text ? QString::fromUtf8(text.get()).trimmed() : QString();
}

QString DecodeAddresses(const QByteArray &raw)
{
    if (raw.isEmpty())
        return {};
    const std::unique_ptr<InternetAddressList, TGObjectUnref> list(
        internet_address_list_parse(ParserOptions(), raw.constData()));
    if (!list || internet_address_list_length(list.get()) == 0)
        return DecodeText(raw); // not an address: shown as text
    const TGString text(internet_address_list_to_string(list.get(), nullptr, FALSE));
    return text ? QString::fromUtf8(text.get()).trimmed() : QString();
}

QDateTime DecodeDate(const QByteArray &raw)
{
    if (raw.isEmpty())
        return {};
    ParserOptions();
    const std::unique_ptr<GDateTime, TDateTimeUnref> date(g_mime_utils_header_decode_date(raw.constData()));
    if (!date)
        return {};
    const qint64 seconds = g_date_time_to_unix(date.get());
    const int offset = int(g_date_time_get_utc_offset(date.get()) / G_TIME_SPAN_SECOND);
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::OffsetFromUTC, offset);
}

} // namespace

TMailSummary DecodeMailSummary(const QByteArray &headerBlock)
{
    const TRawFields fields = RawFields(headerBlock);
    TMailSummary summary;
    summary.Date = DecodeDate(fields.Date);
    summary.From = DecodeAddresses(fields.From);
    summary.Subject = DecodeText(fields.Subject);
    return summary;
}

} // namespace mailmend
