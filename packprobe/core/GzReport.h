#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QString>

namespace packprobe {

struct TAnalysisReport;

// The report of one analysis for the command line.

// The three lists as "Field: Value" lines under their (translated) headings
// "Header:", "Trailer:" and "Values computed from data:", then the verdict
// and its notes under "Verdict:". Lists without rows are left out. Control
// and direction characters of stored texts are escaped. The report's message
// is not part of it: it belongs on standard error.
QString FormatReportText(const TAnalysisReport &report);

// One JSON object with stable keys: file, header {filename, unix_time,
// timestamp, attributes, compressed_size, uncompressed_size, encrypted,
// key_mode}, trailer {crc32, size_mod_2_32}, computed {crc32,
// compressed_size, uncompressed_size}, error {code, text} or null, verdict
// {state, text, notes}. CRCs are 8 upper-case hex digits; values the report
// leaves out are left out here. Texts are English, whatever the language.
// Indented for one report; compact (one line) where many follow each other.
QByteArray FormatReportJson(const TAnalysisReport &report,
                            QJsonDocument::JsonFormat format = QJsonDocument::Indented);

} // namespace packprobe
