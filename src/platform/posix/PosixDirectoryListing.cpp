#include "DirectoryListing.h"
#include "FileNames.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/vfs.h>

namespace {

// Reads a folder once and hands every entry but "." and ".." to visit, with
// its type (DT_DIR, DT_REG, DT_LNK, ...) and the open folder. A folder that
// cannot be read has no entries.
template <typename Visit> void readFolder(const QString &folder, Visit visit)
{
    DIR *dir = ::opendir(nativePath(folder).constData());
    if (!dir)
        return;
    const int fd = ::dirfd(dir);
    while (const dirent *d = ::readdir(dir)) {
        const char *raw = d->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0)))
            continue;
        unsigned char type = d->d_type;
        if (type == DT_UNKNOWN) {
            struct stat info
            {
            };
            if (::fstatat(fd, raw, &info, AT_SYMLINK_NOFOLLOW) == 0)
                type = S_ISDIR(info.st_mode)   ? DT_DIR
                       : S_ISREG(info.st_mode) ? DT_REG
                       : S_ISLNK(info.st_mode) ? DT_LNK
                                               : DT_UNKNOWN;
        }
        visit(raw, type, fd);
    }
    ::closedir(dir);
}

// A plain file, or a link to one.
bool isFileEntry(const char *raw, unsigned char type, int fd)
{
    struct stat info
    {
    };
    return type == DT_REG ||
           (type == DT_LNK && ::fstatat(fd, raw, &info, 0) == 0 && S_ISREG(info.st_mode));
}

const QString &nameOf(const QString &name)
{
    return name;
}
const QString &nameOf(const DirectoryEntry &entry)
{
    return entry.name;
}

// Sorted as the listing sorts: by the upper-cased name, then the name.
template <typename T> void sortListed(std::vector<std::pair<QString, T>> &keyed)
{
    std::sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first < b.first : nameOf(a.second) < nameOf(b.second);
    });
}
// The names of the entries keep accepts (given the raw name, its type and
// the open folder), in the listing's order. Files keep their names as they
// are; a subfolder whose name is not UTF-8 is not searched, as the Windows
// listing skips a folder it can only show with "?".
enum class Names
{
    Files,
    Subfolders
};
template <typename Keep> QStringList keptNames(const QString &folder, Names kind, Keep keep)
{
    std::vector<std::pair<QString, QString>> keyed;
    readFolder(folder, [&](const char *raw, unsigned char type, int fd) {
        if (!keep(raw, type, fd))
            return;
        QString name = pathFromNative(raw);
        if (kind == Names::Subfolders && holdsForeignBytes(name))
            return;
        QString key = name.toUpper();
        keyed.emplace_back(std::move(key), std::move(name));
    });
    sortListed(keyed);
    QStringList names;
    names.reserve(qsizetype(keyed.size()));
    for (auto &k : keyed)
        names << std::move(k.second);
    return names;
}

// A folder's link count is two plus its number of subfolders on the file
// systems that keep it (the leaf optimisation of find(1)): a leaf, most
// folders of a tree, need not be read to learn it has no subfolders.
bool isLeafFolder(const QString &folder)
{
    const QByteArray path = nativePath(folder);
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) != 0 || info.st_nlink != 2)
        return false;
    struct statfs fs
    {
    };
    if (::statfs(path.constData(), &fs) != 0)
        return false;
    // ext2/3/4, XFS, tmpfs; an overlay's merged folders count 1, its others
    // are its lower file system's own.
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53UL:
    case 0x58465342UL:
    case 0x01021994UL:
    case 0x794C7630UL:
        return true;
    default:
        return false;
    }
}

} // namespace

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
    readFolder(folder, [&](const char *raw, unsigned char type, int fd) {
        DirectoryEntry entry;
        entry.name = pathFromNative(raw);
        entry.nameValid = !holdsForeignBytes(entry.name);
        entry.isHidden = raw[0] == '.';
        entry.isFolder = type == DT_DIR;
        entry.isFile = isFileEntry(raw, type, fd);
        QString key = entry.name.toUpper();
        keyed.emplace_back(std::move(key), std::move(entry));
    });
    sortListed(keyed);
    std::vector<DirectoryEntry> entries;
    entries.reserve(keyed.size());
    for (auto &k : keyed)
        entries.push_back(std::move(k.second));
    return entries;
}

QStringList listSubfolders(const QString &folder)
{
    if (isLeafFolder(folder))
        return {};
    return keptNames(folder, Names::Subfolders, [](const char *raw, unsigned char type, int) {
        return type == DT_DIR && raw[0] != '.';
    });
}

QStringList listMatchingFiles(const QString &folder, const QString &pattern)
{
    const bool everything = pattern == QLatin1String("*.*") || pattern == QLatin1String("*");
    const QByteArray encodedPattern = pattern.toUtf8();
    return keptNames(folder, Names::Files, [&](const char *raw, unsigned char type, int fd) {
        return (everything || ::fnmatch(encodedPattern.constData(), raw, FNM_CASEFOLD) == 0) &&
               isFileEntry(raw, type, fd);
    });
}

bool matchesWildcard(const QString &name, const QString &pattern)
{
    if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*"))
        return true;
    return ::fnmatch(pattern.toUtf8().constData(), nativePath(name).constData(), FNM_CASEFOLD) == 0;
}

bool isHiddenPath(const QString &path)
{
    return QStringView(path).split(u'/').last().startsWith(u'.');
}

bool namesFolder(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(nativePath(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}
