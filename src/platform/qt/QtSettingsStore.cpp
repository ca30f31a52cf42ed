#include "QtSettingsStore.h"

namespace {
const QString Section = QStringLiteral("Marrowlake");
} // namespace

#ifdef Q_OS_WIN
// Where existing users' settings already live.
QtSettingsStore::QtSettingsStore()
    : m_settings(
          QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Harrowick"),
          QSettings::NativeFormat)
{
}
#else
QtSettingsStore::QtSettingsStore()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Harrowick"),
                 QStringLiteral("Harrowick"))
{
}
#endif

QString QtSettingsStore::read(const QString &key, const QString &defaultValue) const
{
    const QVariant value = m_settings.value(Section + u'/' + key);
    // A corrupt or foreign entry that is not text counts as absent.
    if (!value.isValid() || !value.canConvert<QString>())
        return defaultValue;
    return value.toString();
}

void QtSettingsStore::write(const QString &key, const QString &value)
{
    m_settings.setValue(Section + u'/' + key, value);
}

void QtSettingsStore::flush()
{
    m_settings.sync();
}
