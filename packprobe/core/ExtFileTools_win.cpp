// Windows side of ExtFileTools: "\\?\" names and the system's ANSI code page.
#include "packprobe/core/ExtFileTools.h"

#include <QDir>

#include <windows.h>

namespace packprobe {

QString LongPathName(const QString &name)
{
    return WindowsLongPathName(QDir::toNativeSeparators(name));
}

QString LegacyCodePageToUnicode(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return QString();
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.constData(), int(bytes.size()), nullptr, 0);
    QString text(length, Qt::Uninitialized);
    MultiByteToWideChar(CP_ACP, 0, bytes.constData(), int(bytes.size()),
                        reinterpret_cast<LPWSTR>(text.data()), length);
    return text;
}

QByteArray UnicodeToLegacyCodePage(const QString &text)
{
    if (text.isEmpty())
        return QByteArray();
    const auto *wide = reinterpret_cast<LPCWSTR>(text.utf16());
    const int length = WideCharToMultiByte(CP_ACP, 0, wide, int(text.size()), nullptr, 0, nullptr, nullptr);
    QByteArray bytes(length, Qt::Uninitialized);
    WideCharToMultiByte(CP_ACP, 0, wide, int(text.size()), bytes.data(), length, nullptr, nullptr);
    return bytes;
}

bool IsDiskFullError(int errorNumber)
{
    return errorNumber == ERROR_DISK_FULL || errorNumber == ERROR_HANDLE_DISK_FULL;
}

} // namespace packprobe
