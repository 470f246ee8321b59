#include "foundation/SecureWipe.h"

#include <cstring>

namespace foundation {

namespace {

// Called through a volatile pointer, so that the compiler cannot see which
// function runs and drop the call as a dead store.
void *(*volatile MemsetFunction)(void *, int, std::size_t) = std::memset;

} // namespace

void WipeMemory(void *data, std::size_t size)
{
    if (data && size > 0)
        MemsetFunction(data, 0, size);
}

void WipeBytes(QByteArray &secret)
{
    if (!secret.isEmpty())
        WipeMemory(secret.data(), std::size_t(secret.size()));
    secret.clear();
}

void WipeText(QString &secret)
{
    if (!secret.isEmpty())
        WipeMemory(secret.data(), std::size_t(secret.size()) * sizeof(QChar));
    secret.clear();
}

} // namespace foundation
