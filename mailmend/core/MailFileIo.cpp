#include "mailmend/core/MailFileIo.h"

#include "foundation/LangUtils.h"
#include "mailmend/core/MailFolder.h"

namespace mailmend {

using namespace foundation;

namespace MailFileIoDetail {

void ThrowOpenError(const QString &path, bool forWriting, int error)
{
    if (forWriting)
        throw EExtFileStreamError(SafeFormat(Translate("Cannot open file \"%s\" for writing. %s"), path,
                                             SystemErrorText(error)),
                                  error);
    throw EExtFileStreamError::CreateResFmt("Cannot open file \"%s\". %s", error, path, SystemErrorText(error));
}

void ThrowNotRegular(const QString &path)
{
    throw EMailFolderError(SafeFormat(Translate("\"%s\" is not a regular file. Only mail folder files can be "
                                                "scanned and recovered."),
                                      path),
                           0);
}

void RefuseUnlessRegularFile(const QString &path)
{
    int error = 0;
    const TPathKind kind = PathKindOf(path, &error);
    if (kind == TPathKind::Missing)
        ThrowOpenError(path, false, error);
    if (kind == TPathKind::Other)
        ThrowNotRegular(path);
}

} // namespace MailFileIoDetail

} // namespace mailmend
