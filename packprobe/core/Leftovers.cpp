#include "packprobe/core/Leftovers.h"

#include <QFile>

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

namespace packprobe {

// Platform parts (Leftovers_posix.cpp / Leftovers_win.cpp).
void InstallLeftoverHandlers();
void RemoveNativeName(const char *path);

namespace {

constexpr size_t MaxPathBytes = 4096;

// Filled under the mutex; the signal handler reads only slots marked used,
// without locking (a slot's bytes are complete before it is marked).
struct TSlot
{
    std::atomic<bool> used{false};
    std::array<char, MaxPathBytes> path{};
};

std::array<TSlot, MaxLeftovers> Slots;
std::mutex SlotMutex;

} // namespace

void AddLeftover(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || size_t(native.size()) >= MaxPathBytes)
        return;
    std::lock_guard lock(SlotMutex);
    InstallLeftoverHandlers();
    for (TSlot &slot : Slots) {
        if (slot.used.load())
            continue;
        std::memcpy(slot.path.data(), native.constData(), size_t(native.size()) + 1);
        slot.used.store(true);
        return;
    }
}

void RemoveLeftover(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    std::lock_guard lock(SlotMutex);
    for (TSlot &slot : Slots) {
        if (slot.used.load() && native == slot.path.data()) {
            slot.used.store(false);
            return;
        }
    }
}

// Called from signal handlers: only async-signal-safe calls, newest first so
// that files go before the folder that holds them.
void RemoveLeftoversNow()
{
    for (auto it = Slots.rbegin(); it != Slots.rend(); ++it) {
        if (it->used.load())
            RemoveNativeName(it->path.data());
    }
}

} // namespace packprobe
