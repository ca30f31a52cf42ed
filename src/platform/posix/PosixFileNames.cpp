#include "FileNames.h"

#include <QFile>
#include <QUrl>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char32_t FirstHeldByte = 0xEF80; // U+EF00 + the byte, for 0x80 to 0xFF
constexpr char32_t LastHeldByte = 0xEFFF;

bool isHeldByte(char32_t c)
{
    return c >= FirstHeldByte && c <= LastHeldByte;
}

// The code point of the UTF-8 sequence at bytes[i], and its length; 0 when
// the bytes there are not UTF-8 (a stray or missing continuation, an
// overlong form, a surrogate, beyond U+10FFFF).
int decodeUtf8At(const QByteArray &bytes, qsizetype i, char32_t &code)
{
    const auto byte = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    int length = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

QString pathFromNative(const QByteArray &name)
{
    QString path;
    path.reserve(name.size());
    for (qsizetype i = 0; i < name.size();) {
        const auto lead = static_cast<unsigned char>(name[i]);
        if (lead < 0x80) {
            path += QChar(lead);
            ++i;
            continue;
        }
        char32_t code = 0;
        const int length = decodeUtf8At(name, i, code);
        if (length > 0 && !isHeldByte(code)) {
            path += QChar::fromUcs4(code);
            i += length;
        } else {
            path += QChar(char16_t(0xEF00 + lead));
            ++i;
        }
    }
    return path;
}

QByteArray nativePath(const QString &path)
{
    if (!holdsForeignBytes(path))
        return path.toUtf8();
    QByteArray name;
    for (const char32_t code : path.toUcs4()) {
        if (isHeldByte(code))
            name += char(code - 0xEF00);
        else
            name += QStringView(QChar::fromUcs4(code)).toUtf8();
    }
    return name;
}

QString pathFromUrl(const QUrl &url)
{
    return pathFromNative(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QString shownPath(const QString &path)
{
    if (!holdsForeignBytes(path))
        return path;
    QString shown = path;
    for (QChar &c : shown)
        if (isHeldByte(c.unicode()))
            c = QChar::ReplacementCharacter;
    return shown;
}

bool holdsForeignBytes(const QString &path)
{
    for (const QChar c : path)
        if (isHeldByte(c.unicode()))
            return true;
    return false;
}

FileStatus fileStatus(const QString &path)
{
    const QByteArray name = nativePath(path);
    FileStatus status;
    struct stat info
    {
    };
    if (::lstat(name.constData(), &info) != 0)
        return status;
    status.isLink = S_ISLNK(info.st_mode);
    if (status.isLink && ::stat(name.constData(), &info) != 0)
        return status; // a dangling link names nothing
    status.exists = true;
    status.isFile = S_ISREG(info.st_mode);
    status.isFolder = S_ISDIR(info.st_mode);
    status.size = info.st_size;
    status.modifiedMs = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
    return status;
}

bool openNamedFile(QFile &file, const QString &path, QIODevice::OpenMode mode)
{
    if (!holdsForeignBytes(path)) {
        file.setFileName(path);
        return file.open(mode);
    }
    int flags = O_CLOEXEC;
    if ((mode & QIODevice::ReadWrite) == QIODevice::ReadWrite)
        flags |= O_RDWR | O_CREAT;
    else if (mode & QIODevice::WriteOnly)
        flags |= O_WRONLY | O_CREAT | ((mode & QIODevice::Append) ? O_APPEND : O_TRUNC);
    else
        flags |= O_RDONLY;
    const int fd = ::open(nativePath(path).constData(), flags, 0666);
    if (fd < 0)
        return false;
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

bool renameNamedFile(const QString &from, const QString &to)
{
    // As QFile::rename: never over a file that is there.
    const QByteArray target = nativePath(to);
    struct stat info
    {
    };
    if (::lstat(target.constData(), &info) == 0)
        return false;
    return ::rename(nativePath(from).constData(), target.constData()) == 0;
}

bool removeNamedFile(const QString &path)
{
    return ::unlink(nativePath(path).constData()) == 0;
}

bool makeNamedFolder(const QString &path)
{
    const QByteArray name = nativePath(path);
    for (qsizetype slash = name.indexOf('/', 1); slash != -1; slash = name.indexOf('/', slash + 1))
        ::mkdir(name.left(slash).constData(), 0777);
    ::mkdir(name.constData(), 0777);
    struct stat info
    {
    };
    return ::stat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QString pathFromDialog(const QString &path)
{
    if (!path.contains(QChar::ReplacementCharacter) || fileStatus(path).exists)
        return path;
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return path;
    const QString folder = path.left(slash + 1), shownName = path.mid(slash + 1);
    DIR *dir = ::opendir(nativePath(folder).constData());
    if (!dir)
        return path;
    QString found;
    int matches = 0;
    while (const dirent *d = ::readdir(dir)) {
        const QString name = pathFromNative(d->d_name);
        if (shownPath(name) == shownName) {
            found = name;
            ++matches;
        }
    }
    ::closedir(dir);
    return matches == 1 ? folder + found : path;
}
