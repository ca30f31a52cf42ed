#include "QtFileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

QString QtFileDialogs::qtFilter(const QString &commonDialogFilter)
{
    const QStringList parts = commonDialogFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        QString patterns = parts[i + 1];
        // On Windows "*.*" means every file, also one without a dot.
        patterns.replace(QLatin1String("*.*"), QLatin1String("*"));
        patterns.replace(u';', u' ');
        const qsizetype open = description.indexOf(u'(');
        if (open >= 0)
            description = description.left(open).trimmed();
        filters << description + QLatin1String(" (") + patterns + u')';
    }
    return filters.join(QLatin1String(";;"));
}

QString QtFileDialogs::joinedFileName(const QStringList &paths)
{
    if (paths.isEmpty())
        return {};
    if (paths.size() == 1)
        return paths.first();
    // The dialog picks from one folder at a time.
    QStringList parts{QFileInfo(paths.first()).absolutePath()};
    for (const QString &path : paths)
        parts << QFileInfo(path).fileName();
    return parts.join(QChar(0));
}

QString QtFileDialogs::openFileNames(QWidget *owner, const QString &title, const QString &filter)
{
    QFileDialog dialog(owner, title, QString(), qtFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::DontUseNativeDialog, false);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return joinedFileName(dialog.selectedFiles());
}

QString QtFileDialogs::pickFolder(QWidget *owner, const QString &prompt)
{
    return QFileDialog::getExistingDirectory(owner, prompt, QString(), QFileDialog::ShowDirsOnly);
}
