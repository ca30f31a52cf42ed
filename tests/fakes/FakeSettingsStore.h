#pragma once

#include "SettingsStore.h"

#include <QMap>

class FakeSettingsStore : public SettingsStore
{
public:
    QString read(const QString &key, const QString &defaultValue) const override
    {
        log << QStringLiteral("read ") + key;
        return values.value(key, defaultValue);
    }
    void write(const QString &key, const QString &value) override
    {
        values[key] = value;
        writes << key + u'=' + value;
        log << QStringLiteral("write ") + key + u'=' + value;
    }

    QMap<QString, QString> values;
    QStringList writes;
    mutable QStringList log; // reads and writes in their order
};
