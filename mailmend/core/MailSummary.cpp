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

// The raw value of the first header field of that name in the block, with
// its folded lines joined (the line breaks before continuation lines
// removed). Empty when there is none.
QByteArray RawField(const QByteArray &block, const QByteArray &name)
{
    qsizetype pos = 0;
    while (pos < block.size()) {
        qsizetype end = pos;
        while (end < block.size() && block[end] != '\n' && block[end] != '\r')
            ++end;
        const bool matches = end - pos > name.size() && block[pos + name.size()] == ':'
                             && qstrnicmp(block.constData() + pos, name.constData(), name.size()) == 0;
        if (matches) {
            QByteArray value = block.mid(pos + name.size() + 1, end - pos - name.size() - 1);
            // Continuation lines start with a blank or a tab.
            for (;;) {
                qsizetype next = end;
                if (next < block.size() && block[next] == '\r')
                    ++next;
                if (next < block.size() && block[next] == '\n')
                    ++next;
                if (next >= block.size() || (block[next] != ' ' && block[next] != '\t'))
                    break;
                end = next;
                while (end < block.size() && block[end] != '\n' && block[end] != '\r')
                    ++end;
                value += block.mid(next, end - next);
            }
            return value.trimmed();
        }
        pos = end;
        if (pos < block.size() && block[pos] == '\r')
            ++pos;
        if (pos < block.size() && block[pos] == '\n')
            ++pos;
    }
    return {};
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
    // NUL bytes would end the texts early for the library.
    QByteArray block = headerBlock;
    block.replace('\0', ' ');
    TMailSummary summary;
    summary.Date = DecodeDate(RawField(block, "Date"));
    summary.From = DecodeAddresses(RawField(block, "From"));
    summary.Subject = DecodeText(RawField(block, "Subject"));
    return summary;
}

} // namespace mailmend
