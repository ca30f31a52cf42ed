#include "DropFolder.h"

#include "FileNames.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int CopyChunk = 1 << 20;

// A descriptor closed when it goes out of scope.
class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(Fd &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd &operator=(Fd &&other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd;
};

DroppedFile factsOf(const struct stat &st)
{
    DroppedFile file;
    file.exists = true;
    file.isFile = S_ISREG(st.st_mode);
    file.isFolder = S_ISDIR(st.st_mode);
    file.isLink = !file.isFile && !file.isFolder;
    file.size = st.st_size;
    file.modifiedMs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    file.device = st.st_dev;
    file.inode = st.st_ino;
    file.links = qint64(st.st_nlink);
    return file;
}

// The folder holding path (inside root), each folder below the root opened
// without following a link; name is set to the last part.
Fd openParent(const QString &root, const QString &path, QByteArray *name)
{
    const QString base = root.endsWith(u'/') ? root : root + u'/';
    if (!path.startsWith(base))
        return Fd();
    Fd folder(::open(nativePath(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const QList<QByteArray> parts = nativePath(path.mid(base.size())).split('/');
    for (qsizetype i = 0; folder && i + 1 < parts.size(); ++i) {
        if (parts[i].isEmpty() || parts[i] == "." || parts[i] == "..")
            return Fd();
        folder = Fd(::openat(folder.get(), parts[i].constData(),
                             O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    *name = parts.last();
    if (name->isEmpty() || *name == "." || *name == "..")
        return Fd();
    return folder;
}

// The file itself, opened for reading without following a link and without
// waiting on a pipe or device; closed again unless it is a plain file.
Fd openDropped(const QString &root, const QString &path, struct stat *st)
{
    QByteArray name;
    const Fd folder = openParent(root, path, &name);
    if (!folder)
        return Fd();
    Fd file(::openat(folder.get(), name.constData(),
                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file || ::fstat(file.get(), st) != 0 || !S_ISREG(st->st_mode))
        return Fd();
    return file;
}

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Copies from one descriptor to the other; false (errno kept) on failure.
bool copyContent(int from, int to, QCryptographicHash *hash)
{
    QByteArray buffer(CopyChunk, Qt::Uninitialized);
    while (true) {
        const ssize_t got = ::read(from, buffer.data(), size_t(buffer.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (hash)
            hash->addData(QByteArrayView(buffer.constData(), got));
        if (!writeAll(to, buffer.constData(), got))
            return false;
    }
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

DropTree::DropTree(QString root) : m_root(std::move(root)) {}

DropTree::~DropTree() = default;

DroppedFile DropTree::status(const QString &path) const
{
    QByteArray name;
    const Fd folder = openParent(m_root, path, &name);
    struct stat st
    {
    };
    if (!folder || ::fstatat(folder.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return {};
    return factsOf(st);
}

void DropTree::walk(
    const QString &folder, const QStringList &leftOut,
    const std::function<void(const QString &path, const DroppedFile &file)> &found) const
{
    Fd start;
    if (folder == m_root) {
        start = Fd(::open(nativePath(m_root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    } else {
        QByteArray name;
        const Fd parent = openParent(m_root, folder, &name);
        if (parent)
            start = Fd(::openat(parent.get(), name.constData(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    // Depth first through descriptors: a folder swapped for a link on the
    // way is not entered.
    std::function<void(Fd, const QString &)> walkAt = [&](Fd dir, const QString &dirPath) {
        DIR *listing = ::fdopendir(::dup(dir.get()));
        if (!listing)
            return;
        QList<QByteArray> names;
        while (const dirent *entry = ::readdir(listing))
            if (entry->d_name[0] != '.') // hidden, and "." and ".."
                names << QByteArray(entry->d_name);
        ::closedir(listing);
        // In the order Windows lists them, so that arrivals found together
        // are taken in a predictable order.
        std::sort(names.begin(), names.end(), [](const QByteArray &a, const QByteArray &b) {
            return pathFromNative(a).toUpper() < pathFromNative(b).toUpper();
        });
        const QString base = dirPath.endsWith(u'/') ? dirPath : dirPath + u'/';
        for (const QByteArray &name : std::as_const(names)) {
            const QString path = base + pathFromNative(name);
            struct stat st
            {
            };
            if (::fstatat(dir.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISDIR(st.st_mode)) {
                const QString inner = path + u'/';
                if (std::any_of(leftOut.begin(), leftOut.end(),
                                [&inner](const QString &out) { return inner.startsWith(out); }))
                    continue;
                Fd sub(::openat(dir.get(), name.constData(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                if (sub)
                    walkAt(std::move(sub), path);
            } else {
                found(path, factsOf(st));
            }
        }
    };
    if (start)
        walkAt(std::move(start), folder);
}

QByteArray DropTree::digest(const QString &path) const
{
    struct stat st
    {
    };
    const Fd file = openDropped(m_root, path, &st);
    if (!file)
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha1);
    QByteArray buffer(CopyChunk, Qt::Uninitialized);
    while (true) {
        const ssize_t got = ::read(file.get(), buffer.data(), size_t(buffer.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return {};
        if (got == 0)
            return hash.result().toHex();
        hash.addData(QByteArrayView(buffer.constData(), got));
    }
}

DroppedCopy DropTree::copyTo(const QString &path, const QString &target) const
{
    DroppedCopy copy;
    struct stat st
    {
    };
    const Fd file = openDropped(m_root, path, &st);
    if (!file) {
        copy.file = status(path);
        copy.problem = copy.file.isLink ? QStringLiteral("it is a link or no plain file")
                                        : QStringLiteral("it cannot be read");
        return copy;
    }
    copy.file = factsOf(st);
    const Fd out(::open(nativePath(target).constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!out || !copyContent(file.get(), out.get(), &hash)) {
        const int error = errno;
        copy.noSpace = error == ENOSPC || error == EDQUOT;
        copy.problem = QStringLiteral("it could not be copied to %1 (%2)")
                           .arg(shownPath(target), systemError(error));
        if (out)
            ::unlink(nativePath(target).constData());
        return copy;
    }
    // Written to while it was read: not the content that was seen.
    struct stat after
    {
    };
    if (::fstat(file.get(), &after) != 0 || !factsOf(after).sameAs(copy.file)) {
        ::unlink(nativePath(target).constData());
        copy.problem = QStringLiteral("it changed while it was read");
        return copy;
    }
    copy.digest = hash.result().toHex();
    return copy;
}

StationFolder::StationFolder(QString path) : m_path(std::move(path))
{
    const QByteArray native = nativePath(m_path);
    if (::mkdir(native.constData(), 0700) != 0 && errno == ENOENT) {
        if (makeNamedFolder(QFileInfo(m_path).absolutePath()))
            ::mkdir(native.constData(), 0700);
    }
    m_fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st
    {
    };
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) {
        m_problem = QStringLiteral("the folder %1 cannot be made or opened (%2)")
                        .arg(shownPath(m_path), systemError(errno));
    } else if (st.st_uid != ::geteuid()) {
        m_problem = QStringLiteral("the folder %1 belongs to another user; documents are moved "
                                   "only into a folder of the station's own")
                        .arg(shownPath(m_path));
    } else if (st.st_mode & (S_IWGRP | S_IWOTH)) {
        m_problem = QStringLiteral("the folder %1 can be written to by other users; documents "
                                   "are moved only into a folder nobody else writes to")
                        .arg(shownPath(m_path));
    }
}

StationFolder::~StationFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<QString> StationFolder::moveIn(const DropTree &tree, const QString &path,
                                             const DroppedFile &expected, const QString &reason)
{
    const QString failed =
        QStringLiteral("%1 could not be moved to %2").arg(shownPath(path), shownPath(m_path));
    if (m_fd < 0)
        return failed;
    QByteArray name;
    const Fd parent = openParent(tree.root(), path, &name);
    struct stat st
    {
    };
    if (!parent || ::fstatat(parent.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !factsOf(st).sameAs(expected))
        return failed + QStringLiteral(" (it is no longer the document that was printed)");

    const QFileInfo source(pathFromNative(name));
    const QString base = source.completeBaseName(), suffix = source.suffix();
    QByteArray target;
    bool moved = false, copied = false;
    for (int n = 1; n < 1000 && !moved; ++n) {
        target = nativePath(n == 1 ? source.fileName()
                                   : QStringLiteral("%1 (%2)%3")
                                         .arg(base)
                                         .arg(n)
                                         .arg(suffix.isEmpty() ? QString() : u'.' + suffix));
        struct stat there
        {
        };
        if (!reason.isEmpty() &&
            ::fstatat(m_fd, (target + ".txt").constData(), &there, AT_SYMLINK_NOFOLLOW) == 0)
            continue;
        // Never over a name that is there: the system refuses it for us.
        if (::renameat2(parent.get(), name.constData(), m_fd, target.constData(),
                        RENAME_NOREPLACE) == 0) {
            moved = true;
            break;
        }
        if (errno == EEXIST)
            continue;
        if (errno == EINVAL) { // a file system without it: a link, then the old name gone
            if (::linkat(parent.get(), name.constData(), m_fd, target.constData(), 0) == 0) {
                ::unlinkat(parent.get(), name.constData(), 0);
                moved = true;
                break;
            }
            if (errno == EEXIST)
                continue;
        }
        if (errno != EXDEV)
            return failed + QStringLiteral(" (%1)").arg(systemError(errno));
        // Another file system: the content copied with its mode (and its
        // owner, where the station may give it), on the disk, before the
        // document is removed.
        const Fd in(::openat(parent.get(), name.constData(),
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat inSt
        {
        };
        if (!in || ::fstat(in.get(), &inSt) != 0 || !factsOf(inSt).sameAs(expected))
            return failed + QStringLiteral(" (it is no longer the document that was printed)");
        const Fd out(::openat(m_fd, target.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out && errno == EEXIST)
            continue;
        const struct timespec times[2] = {inSt.st_atim, inSt.st_mtim};
        bool ok = out && copyContent(in.get(), out.get(), nullptr) &&
                  ::fchmod(out.get(), inSt.st_mode & 07777) == 0;
        if (ok && ::geteuid() == 0)
            ok = ::fchown(out.get(), inSt.st_uid, inSt.st_gid) == 0;
        ok = ok && ::futimens(out.get(), times) == 0 && ::fsync(out.get()) == 0;
        const int error = errno;
        struct stat now
        {
        };
        ok = ok && ::fstatat(parent.get(), name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
             factsOf(now).sameAs(expected) && ::unlinkat(parent.get(), name.constData(), 0) == 0;
        if (!ok) {
            if (out) // ours, made above: nobody else's file is removed
                ::unlinkat(m_fd, target.constData(), 0);
            return failed + QStringLiteral(" (%1)").arg(systemError(error));
        }
        moved = copied = true;
    }
    if (!moved)
        return failed + QStringLiteral(" (no free name there)");
    // Renamed: check that it is what was printed, else give it back.
    struct stat landed
    {
    };
    if (!copied && (::fstatat(m_fd, target.constData(), &landed, AT_SYMLINK_NOFOLLOW) != 0 ||
                    landed.st_dev != expected.device || landed.st_ino != expected.inode)) {
        ::renameat2(m_fd, target.constData(), parent.get(), name.constData(), RENAME_NOREPLACE);
        return failed + QStringLiteral(" (it is no longer the document that was printed)");
    }
    if (!reason.isEmpty()) {
        const Fd why(::openat(m_fd, (target + ".txt").constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        const QByteArray text = reason.toUtf8() + '\n';
        if (!why || !writeAll(why.get(), text.constData(), text.size()))
            return QStringLiteral("why %1 was not printed could not be written to %2")
                .arg(shownPath(path), shownPath(m_path));
    }
    return std::nullopt;
}
