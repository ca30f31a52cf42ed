#include "DocumentPaths.h"

QString joinPath(const QString &folder, const QString &name)
{
    return folder + u'/' + name;
}

QString withoutDoubledRoot(const QString &path)
{
    return path.startsWith(QLatin1String("//")) ? path.mid(1) : path;
}

QStringList pathsFromDialogResult(const QString &fileName)
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
    for (qsizetype i = 1; i < parts.size(); ++i)
        paths << (parts[i].contains(u'/') ? parts[i]
                                          : withoutDoubledRoot(joinPath(parts[0], parts[i])));
    return paths;
}
