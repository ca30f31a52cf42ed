// The folder listing on Windows: the wide listing of windows/WindowsListing.

#include "DirectoryListing.h"

#include "WindowsListing.h"

namespace {

QStringList fromWide(const std::vector<std::wstring> &names)
{
    QStringList list;
    list.reserve(qsizetype(names.size()));
    for (const std::wstring &name : names)
        list << QString::fromStdWString(name);
    return list;
}

} // namespace

std::vector<DirectoryEntry> listDirectory(const QString &folder)
{
    std::vector<DirectoryEntry> entries;
    for (const winlisting::Entry &e : winlisting::listFolder(folder.toStdWString())) {
        DirectoryEntry entry;
        entry.name = QString::fromStdWString(e.name);
        entry.isFolder = e.isFolder;
        entry.isFile = e.isFile;
        entry.isHidden = e.isHidden;
        entries.push_back(std::move(entry));
    }
    return entries;
}

QStringList listSubfolders(const QString &folder)
{
    return fromWide(winlisting::subfolders(folder.toStdWString()));
}

QStringList listMatchingFiles(const QString &folder, const QString &pattern)
{
    return fromWide(winlisting::matchingFiles(folder.toStdWString(), pattern.toStdWString()));
}

bool listsBefore(const QString &a, const QString &b)
{
    return winlisting::listsBefore(a.toStdWString(), b.toStdWString());
}

bool matchesWildcard(const QString &name, const QString &pattern)
{
    return winlisting::matchesWildcard(name.toStdWString(), pattern.toStdWString());
}

bool isHiddenPath(const QString &path)
{
    return winlisting::isHidden(path.toStdWString());
}

bool namesFolder(const QString &path)
{
    return winlisting::namesFolder(path.toStdWString());
}
