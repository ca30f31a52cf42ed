#pragma once

#include <QString>

// The per-user key/value store of the program's settings. Every value is text.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    [[nodiscard]] virtual QString read(const QString &key, const QString &defaultValue) const = 0;
    virtual void write(const QString &key, const QString &value) = 0;
};
