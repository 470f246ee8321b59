#pragma once

#include "mailmend/core/MailFolder.h"

#include <QByteArray>

namespace mailmend {

// Decodes Date, From and Subject of a raw header block (the bytes from the
// line after the "From " separator to the empty line, line breaks as in the
// file, 8-bit or UTF-8 text) with the mail header library: encoded words of
// RFC 2047 and RFC 2231, charset conversion, folded lines, address lists and
// dates. Fields that are missing or cannot be read stay empty (Date invalid).
TMailSummary DecodeMailSummary(const QByteArray &headerBlock);

} // namespace mailmend
