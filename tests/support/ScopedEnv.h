#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Sets or unsets one environment variable and restores it afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, std::optional<QString> value) : FName(name)
    {
        if (qEnvironmentVariableIsSet(name))
            FPrevious = qEnvironmentVariable(name);
        if (value)
            qputenv(name, value->toLocal8Bit());
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (FPrevious)
            qputenv(FName, FPrevious->toLocal8Bit());
        else
            qunsetenv(FName);
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *FName;
    std::optional<QString> FPrevious;
};
