#include "PathList.h"

#include "FileNames.h"

#include <QFile>

#include <cstdio>

QStringList readPathList(QByteArray data, bool nulSeparated)
{
    QStringList paths;
    if (nulSeparated) {
        for (const QByteArray &entry : data.split('\0'))
            if (!entry.isEmpty())
                paths << pathFromNative(entry);
        return paths;
    }
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    for (QByteArray line : data.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        paths << pathFromNative(line);
    }
    return paths;
}

QByteArray pathListText(const QStringList &paths, bool nulSeparated, QStringList *leftOut)
{
    QByteArray text;
    for (const QString &path : paths) {
        if (!nulSeparated && (path.contains(u'\n') || path.contains(u'\r'))) {
            if (leftOut)
                *leftOut << path;
            continue;
        }
        text += nativePath(path) + (nulSeparated ? '\0' : '\n');
    }
    return text;
}

std::optional<QStringList> readPathListFile(const QString &path, bool nulSeparated, QString *why)
{
    QFile file;
    const bool opened = path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                   : openNamedFile(file, path, QIODevice::ReadOnly);
    if (!opened) {
        if (why)
            *why = file.errorString();
        return std::nullopt;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (why)
            *why = file.errorString();
        return std::nullopt;
    }
    return readPathList(data, nulSeparated);
}
