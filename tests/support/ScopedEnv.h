#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Sets or unsets one environment variable and restores it afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, std::optional<QString> value) : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_previous = qEnvironmentVariable(name);
        if (value)
            qputenv(name, value->toLocal8Bit());
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_previous)
            qputenv(m_name, m_previous->toLocal8Bit());
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *m_name;
    std::optional<QString> m_previous;
};
