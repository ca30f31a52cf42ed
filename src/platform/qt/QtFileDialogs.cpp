#include "QtFileDialogs.h"

#include "FileNames.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include <utility>

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
    // Files of the first file's folder by name; a file from another folder
    // (a typed full path, a recent place) by its full path.
    const QString folder = QFileInfo(paths.first()).absolutePath();
    QStringList parts{folder};
    for (const QString &path : paths) {
        const QFileInfo info(path);
        parts << (info.absolutePath() == folder ? info.fileName() : path);
    }
    return parts.join(QChar(0));
}

QString QtFileDialogs::startFolder()
{
    if (std::exchange(m_opened, true))
        return {};
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString QtFileDialogs::openFileNames(QWidget *owner, const QString &title, const QString &filter)
{
    QFileDialog dialog(owner, title, startFolder(), qtFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::DontUseNativeDialog, false);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    QStringList paths = dialog.selectedFiles();
    for (QString &path : paths)
        path = pathFromDialog(path);
    return joinedFileName(paths);
}

QString QtFileDialogs::pickFolder(QWidget *owner, const QString &prompt)
{
    return pathFromDialog(
        QFileDialog::getExistingDirectory(owner, prompt, startFolder(), QFileDialog::ShowDirsOnly));
}
