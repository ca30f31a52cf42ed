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
    std::vector<std::pair<QString, DirectoryEntry>> keyed; // upper-cased name first
    const QByteArray encodedFolder = QFile::encodeName(folder);
    DIR *dir = ::opendir(encodedFolder.constData());
    if (!dir)
        return {};
    while (const dirent *d = ::readdir(dir)) {
        const QByteArray raw(d->d_name);
        if (raw == "." || raw == "..")
            continue;
        DirectoryEntry entry;
        entry.name = QFile::decodeName(raw);
        entry.nameValid = QFile::encodeName(entry.name) == raw;
        entry.isHidden = raw.startsWith('.');
        unsigned char type = d->d_type;
        const QByteArray full = encodedFolder + '/' + raw;
        struct stat info
        {
        };
        if (type == DT_UNKNOWN && ::lstat(full.constData(), &info) == 0)
            type = S_ISDIR(info.st_mode)   ? DT_DIR
                   : S_ISREG(info.st_mode) ? DT_REG
                   : S_ISLNK(info.st_mode) ? DT_LNK
                                           : DT_UNKNOWN;
        entry.isFolder = type == DT_DIR;
        entry.isFile = type == DT_REG || (type == DT_LNK && ::stat(full.constData(), &info) == 0 &&
                                          S_ISREG(info.st_mode));
        QString key = entry.name.toUpper();
        keyed.emplace_back(std::move(key), std::move(entry));
    }
    ::closedir(dir);
    std::sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first < b.first : a.second.name < b.second.name;
    });
    std::vector<DirectoryEntry> entries;
    entries.reserve(keyed.size());
    for (auto &k : keyed)
        entries.push_back(std::move(k.second));
    return entries;
}

bool matchesWildcard(const QString &name, const QString &pattern)
{
    if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*"))
        return true;
    return ::fnmatch(pattern.toUtf8().constData(), name.toUtf8().constData(), FNM_CASEFOLD) == 0;
}

bool namesFolder(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}
