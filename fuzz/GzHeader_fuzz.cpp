// Reads arbitrary bytes as the header of a gz file.
#include "packprobe/core/ExtFileTools.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>

using namespace packprobe;

using namespace packprobe;

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);

    TGzFileInfo info;
    int code = -1;
    const bool ok = GetGzInfo(buffer, info, &code);
    Check(code == 0 || code == 4 || code == 8);
    Check(ok == (code == 0));
    if (ok) {
        // The reader stands on the first data byte, inside the file.
        Check(buffer.pos() >= 10 && buffer.pos() <= bytes.size());
        Check(info.Filename.size() <= MaxGzNameBytes);
        Check(info.Encrypted == (info.EncMode >= 0));
        Check(info.EncMode >= -1 && info.EncMode <= 0xFFFF);
    }
    return 0;
}
