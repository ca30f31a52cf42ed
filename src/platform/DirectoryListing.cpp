#include "DirectoryListing.h"

#include <QFile>

#include <algorithm>
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

bool listsBefore(const QString &a, const QString &b)
{
    const QString ua = a.toUpper();
    const QString ub = b.toUpper();
    if (ua != ub)
        return ua < ub; // QString compares UTF-16 code units
    return a < b;
}

std::vector<DirectoryEntry> listDirectory(const QString &folder)
{
    std::vector<DirectoryEntry> entries;
    const QByteArray encodedFolder = QFile::encodeName(folder);
    DIR *dir = ::opendir(encodedFolder.constData());
    if (!dir)
        return entries;
    while (const dirent *d = ::readdir(dir)) {
        const QByteArray raw(d->d_name);
        if (raw == "." || raw == "..")
            continue;
        DirectoryEntry entry;
        entry.name = QFile::decodeName(raw);
        entry.nameValid = QFile::encodeName(entry.name) == raw;
        entry.isHidden = raw.startsWith('.');
        const QByteArray full = encodedFolder + '/' + raw;
        struct stat info {};
        if (::lstat(full.constData(), &info) == 0) {
            entry.isFolder = S_ISDIR(info.st_mode);
            if (S_ISREG(info.st_mode))
                entry.isFile = true;
            else if (S_ISLNK(info.st_mode) && ::stat(full.constData(), &info) == 0)
                entry.isFile = S_ISREG(info.st_mode);
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const DirectoryEntry &a, const DirectoryEntry &b) {
        return listsBefore(a.name, b.name);
    });
    return entries;
}

bool matchesWildcard(const QString &name, const QString &pattern)
{
    if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*"))
        return true;
    return ::fnmatch(pattern.toUtf8().constData(), name.toUtf8().constData(), FNM_CASEFOLD) == 0;
}

bool isRealFolder(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}
