#include "QtDesktopShell.h"

#include <QDesktopServices>

QUrl QtDesktopShell::targetUrl(const QString &quotedTarget)
{
    QString target = quotedTarget;
    if (target.size() >= 2 && target.startsWith(u'"') && target.endsWith(u'"'))
        target = target.mid(1, target.size() - 2);
    if (target.startsWith(QLatin1String("http://")) || target.startsWith(QLatin1String("https://")))
        return QUrl(target, QUrl::StrictMode);
    return QUrl::fromLocalFile(target);
}

void QtDesktopShell::open(const QString &quotedTarget)
{
    const QUrl url = targetUrl(quotedTarget);
    if (url.isValid())
        QDesktopServices::openUrl(url); // its result is not examined
}
