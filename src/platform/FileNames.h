#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

class QFile;
class QUrl;

// File names as the program holds them.
//
// On Linux a name is bytes, and not every name is UTF-8 (old archives,
// shares mounted without a character set). Such a name is held with each
// byte that is not part of UTF-8 as a character of its own, U+EF80 to U+EFFF
// (a UTF-8 name that holds those characters is held the same way, byte by
// byte), so the path always names the file it came from. Qt's own file
// classes would encode such a path as UTF-8 and reach another file, or
// none: every file a user names is reached through the functions below. On
// Windows names are UTF-16 end to end and these are Qt's own.

// The path of a name the system handed out (an argument, a listing, an
// event, a dropped URL's decoded bytes), and back.
[[nodiscard]] QString pathFromNative(const QByteArray &name);
[[nodiscard]] QByteArray nativePath(const QString &path);

// The path of a local file's URL (a drop), from the URL's own bytes: Qt's
// toLocalFile() decodes them as UTF-8.
[[nodiscard]] QString pathFromUrl(const QUrl &url);

// The path as people read it: a byte that is not UTF-8 shows as U+FFFD.
[[nodiscard]] QString shownPath(const QString &path);

// Whether the path holds bytes that are not UTF-8.
[[nodiscard]] bool holdsForeignBytes(const QString &path);

// What the system says of the file or folder a path names.
struct FileStatus
{
    bool exists = false;
    bool isFile = false;   // a plain file, or a link to one
    bool isFolder = false; // a folder, or a link to one
    bool isLink = false;   // the name itself is a symbolic link
    qint64 size = -1;
    qint64 modifiedMs = 0;
};
[[nodiscard]] FileStatus fileStatus(const QString &path);

[[nodiscard]] bool openNamedFile(QFile &file, const QString &path, QIODevice::OpenMode mode);
[[nodiscard]] bool renameNamedFile(const QString &from, const QString &to);
bool removeNamedFile(const QString &path);
// Makes the folder and any missing folders above it; true when it is there.
[[nodiscard]] bool makeNamedFolder(const QString &path);

// A path a file dialog returned: Qt's dialog lists names through UTF-8 and
// shows a name that is not UTF-8 with U+FFFD. When no file has that path,
// the one file of its folder that shows so is the one chosen; when none or
// several do, the path is returned as it came (and will not be found).
[[nodiscard]] QString pathFromDialog(const QString &path);
