#include "DocumentPaths.h"

#include <QDir>

PathStyle nativePathStyle()
{
    return QDir::separator() == u'\\' ? PathStyle::Windows : PathStyle::Posix;
}

QString joinPath(const QString &folder, const QString &name)
{
    return folder + u'/' + name;
}

QString withoutDoubledRoot(const QString &path, PathStyle style)
{
    if (style == PathStyle::Windows) {
        // "C://name": the drive's root joined with a name.
        const bool driveRoot = path.size() > 3 && path[0].isLetter() && path[1] == u':' &&
                               path[2] == u'/' && path[3] == u'/';
        return driveRoot ? path.left(3) + path.mid(4) : path;
    }
    return path.startsWith(QLatin1String("//")) ? path.mid(1) : path;
}

QStringList pathsFromDialogResult(const QString &fileName, PathStyle style)
{
    if (fileName.isEmpty())
        return {};
    const QStringList parts = fileName.split(QChar(0));
    if (parts.size() == 1)
        return parts;
    QStringList paths;
    // A bare name lies in the first part's folder; a file the dialog
    // returned from another folder comes as its full path (a name never
    // holds a separator).
    const auto isFullPath = [style](const QString &part) {
        return part.contains(u'/') || (style == PathStyle::Windows && part.contains(u'\\'));
    };
    for (qsizetype i = 1; i < parts.size(); ++i)
        paths << (isFullPath(parts[i]) ? parts[i]
                                       : withoutDoubledRoot(joinPath(parts[0], parts[i]), style));
    return paths;
}

QString displayedPath(const QString &path, PathStyle style)
{
    if (style == PathStyle::Posix)
        return path;
    QString shown = path;
    return shown.replace(u'/', u'\\');
}
