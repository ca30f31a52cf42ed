#pragma once

#include "SettingsStore.h"

#include <QSettings>

// Application "Harrowick", section "Marrowlake" of the platform's native store.
class QtSettingsStore : public SettingsStore
{
public:
    QtSettingsStore();
    [[nodiscard]] QString read(const QString &key, const QString &defaultValue) const override;
    void write(const QString &key, const QString &value) override;
    // Writes pending values out now (the program may end without unwinding).
    void flush();

private:
    mutable QSettings m_settings;
};
