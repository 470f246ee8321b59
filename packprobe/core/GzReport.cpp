#include "packprobe/core/GzReport.h"

#include "packprobe/core/GzAnalysis.h"

#include "foundation/FileUtils.h"
#include "foundation/LangUtils.h"
#include "foundation/StringUtils.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTime>

namespace packprobe {

using namespace foundation;

namespace {

// The verdict under its heading; for an error only the state, since the
// error itself is in the rows or in the message on standard error.
void AppendVerdict(QString &text, const packprobe::TGzVerdict &verdict)
{
    text += Translate("Verdict:") + QLatin1Char('\n');
    const QString line = verdict.State == packprobe::TVerdictState::Error
                             ? Translate("Error")
                             : packprobe::VerdictText(verdict);
    text += QStringLiteral("  ") + line + QLatin1Char('\n');
    for (const QString &note : packprobe::VerdictNoteTexts(verdict))
        text += QStringLiteral("  ") + note + QLatin1Char('\n');
}

void AppendSection(QString &text, const QString &heading, const QList<TReportRow> &rows)
{
    if (rows.isEmpty())
        return;
    text += heading + QLatin1Char('\n');
    for (const TReportRow &row : rows) {
        text += QStringLiteral("  ") + EscapeControlChars(row.Field) + QStringLiteral(": ")
                + EscapeControlChars(row.Value) + QLatin1Char('\n');
    }
}

// The stored time as a zone-less ISO 8601 date and time.
QString IsoTimestamp(quint32 unixTime)
{
    const QDate date = QDate(1970, 1, 1).addDays(qint64(unixTime / 86400));
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(unixTime % 86400) * 1000);
    return date.toString(Qt::ISODate) + QLatin1Char('T') + time.toString(Qt::ISODate);
}

} // namespace

QString FormatReportText(const TAnalysisReport &report)
{
    QString text;
    AppendSection(text, Translate("Header:"), report.HeaderRows);
    AppendSection(text, Translate("Trailer:"), report.TrailerRows);
    AppendSection(text, Translate("Values computed from data:"), report.DataRows);
    AppendVerdict(text, report.Verdict);
    return text;
}

QByteArray FormatReportJson(const TAnalysisReport &report, QJsonDocument::JsonFormat format)
{
    QJsonObject root;
    root.insert(QStringLiteral("file"), report.FileName);
    if (report.Header) {
        const TGzFileInfo &info = *report.Header;
        QJsonObject header{
            {QStringLiteral("filename"), info.Filename},
            {QStringLiteral("unix_time"), qint64(info.UnixTime)},
            {QStringLiteral("timestamp"), IsoTimestamp(info.UnixTime)},
            {QStringLiteral("attributes"), AttributeText(info.Attr)},
            {QStringLiteral("compressed_size"), info.CSize},
            {QStringLiteral("uncompressed_size"), info.USize},
            {QStringLiteral("encrypted"), info.Encrypted},
        };
        if (info.Encrypted)
            header.insert(QStringLiteral("key_mode"), info.EncMode);
        root.insert(QStringLiteral("header"), header);
    }
    const bool encrypted = report.Header && report.Header->Encrypted;
    if (report.Trailer) {
        QJsonObject trailer{{QStringLiteral("size_mod_2_32"), qint64(report.Trailer->Size)}};
        if (!encrypted)
            trailer.insert(QStringLiteral("crc32"), FormatChecksum(report.Trailer->Checksum));
        root.insert(QStringLiteral("trailer"), trailer);
    }
    if (report.Computed) {
        QJsonObject computed{
            {QStringLiteral("compressed_size"), report.Computed->CompressedSize},
            {QStringLiteral("uncompressed_size"), report.Computed->UncompressedSize},
        };
        if (!encrypted)
            computed.insert(QStringLiteral("crc32"), FormatChecksum(report.Computed->Checksum));
        root.insert(QStringLiteral("computed"), computed);
    }
    if (report.Succeeded()) {
        root.insert(QStringLiteral("error"), QJsonValue::Null);
    } else {
        root.insert(QStringLiteral("error"),
                    QJsonObject{{QStringLiteral("code"), qint64(report.ErrorCode)},
                                {QStringLiteral("text"), report.ErrorTextEnglish}});
    }
    const packprobe::TGzVerdict &verdict = report.Verdict;
    root.insert(QStringLiteral("verdict"),
                QJsonObject{
                    {QStringLiteral("state"), packprobe::VerdictStateKey(verdict.State)},
                    {QStringLiteral("text"), packprobe::VerdictText(verdict, packprobe::TTextForm::English)},
                    {QStringLiteral("notes"),
                     QJsonArray::fromStringList(
                         packprobe::VerdictNoteTexts(verdict, packprobe::TTextForm::English))},
                });
    return QJsonDocument(root).toJson(format);
}

} // namespace packprobe
