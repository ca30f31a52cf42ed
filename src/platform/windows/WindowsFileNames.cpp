#include "FileNames.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

// Windows names are UTF-16, which QString holds as they are.

QString pathFromNative(const QByteArray &name)
{
    return QString::fromUtf8(name);
}

QByteArray nativePath(const QString &path)
{
    return path.toUtf8();
}

QString pathFromUrl(const QUrl &url)
{
    return url.toLocalFile();
}

QString shownPath(const QString &path)
{
    return path;
}

bool holdsForeignBytes(const QString &)
{
    return false;
}

FileStatus fileStatus(const QString &path)
{
    const QFileInfo info(path);
    FileStatus status;
    status.isLink = info.isSymLink();
    status.exists = info.exists() || status.isLink;
    status.isFile = info.isFile();
    status.isFolder = info.isDir();
    if (status.isFile || status.isFolder) {
        status.size = info.size();
        status.modifiedMs = info.lastModified().toMSecsSinceEpoch();
    }
    return status;
}

bool openNamedFile(QFile &file, const QString &path, QIODevice::OpenMode mode)
{
    file.setFileName(path);
    return file.open(mode);
}

bool renameNamedFile(const QString &from, const QString &to)
{
    return QFile::rename(from, to);
}

bool removeNamedFile(const QString &path)
{
    return QFile::remove(path);
}

bool makeNamedFolder(const QString &path)
{
    return QDir().mkpath(path);
}

QString pathFromDialog(const QString &path)
{
    return path;
}
