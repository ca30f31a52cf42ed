#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// A folder that other people write into (a print station's drop folder),
// reached so that nothing they put there leads anywhere else: every folder
// on the way is opened without following a link, a file is read through the
// descriptor it was opened and checked with, and nothing is written there.

// What the system says of one file, from a descriptor or without following
// a link.
struct DroppedFile
{
    bool exists = false;
    bool isFile = false; // a plain file (never through a link)
    bool isFolder = false;
    bool isLink = false; // the name is a link (or something else that is neither)
    qint64 size = -1;
    qint64 modifiedMs = 0;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 links = 0; // hard links to the same file
    bool operator==(const DroppedFile &other) const = default;
    // The same file as it was: same inode, size and time.
    [[nodiscard]] bool sameAs(const DroppedFile &other) const
    {
        return isFile && other.isFile && device == other.device && inode == other.inode &&
               size == other.size && modifiedMs == other.modifiedMs;
    }
};

// A copy of a dropped file, taken from the descriptor that was checked.
struct DroppedCopy
{
    DroppedFile file;     // the facts of the file copied
    QByteArray digest;    // its content's (hex)
    QString problem;      // why there is no copy, if there is none
    bool noSpace = false; // the copy failed for want of space (not the file's fault)
};

class DropTree
{
public:
    // root: the folder as its user named it (a link there is followed).
    explicit DropTree(QString root);
    ~DropTree();

    [[nodiscard]] const QString &root() const { return m_root; }

    // The file at a path inside the tree, each folder on the way and the
    // file itself not followed if a link.
    [[nodiscard]] DroppedFile status(const QString &path) const;
    // Every file of the folder (inside the tree) and its subfolders, links
    // among them (never entered), folders whose path starts with one of
    // leftOut (each ending in "/") not entered, hidden ones neither.
    void walk(const QString &folder, const QStringList &leftOut,
              const std::function<void(const QString &path, const DroppedFile &file)> &found) const;
    // The content's digest (hex), read through a descriptor; empty when it
    // cannot be read.
    [[nodiscard]] QByteArray digest(const QString &path) const;
    // Copies the file into a file made anew (mode 0600) at target, from the
    // descriptor that checked it is a plain file and no link.
    [[nodiscard]] DroppedCopy copyTo(const QString &path, const QString &target) const;

private:
    QString m_root;
};

// A folder the station moves documents into, held open from the start so
// that what happens to its name afterwards (a stranger renaming it) does not
// redirect what is written.
class StationFolder
{
public:
    // Opens the folder, made (0700) when missing; empty problem when it is
    // fit: a folder, no link, the station user's own and writable by nobody
    // else.
    explicit StationFolder(QString path);
    ~StationFolder();
    StationFolder(const StationFolder &) = delete;
    StationFolder &operator=(const StationFolder &) = delete;

    [[nodiscard]] const QString &problem() const { return m_problem; }
    [[nodiscard]] const QString &path() const { return m_path; }

    // Moves the dropped file at path (in the tree) into this folder under a
    // name of its own ("NAME (2).EXT" when NAME.EXT is taken), when it is
    // still the file that was printed (`expected`); across file systems the
    // content is copied with its mode (and its owner where the station may
    // keep it), flushed, and only then is the document removed. With a
    // reason, NAME.EXT.txt beside it says it. Nothing is written through a
    // link and nothing is removed that the move did not make. Returns the
    // failure, if any; the document is then where it was.
    [[nodiscard]] std::optional<QString> moveIn(const DropTree &tree, const QString &path,
                                                const DroppedFile &expected,
                                                const QString &reason = {});

private:
    QString m_path;
    QString m_problem;
    int m_fd = -1;            // the folder held open (a descriptor)
    void *m_handle = nullptr; // or, on Windows, a handle
};
