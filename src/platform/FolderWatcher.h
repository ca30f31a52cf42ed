#pragma once

#include <QObject>
#include <QString>

#include <memory>

// Tells, as it happens, of what changes in a folder tree: the file system's
// own notification, so that nothing is read while nothing changes.
class FolderWatcher : public QObject
{
    Q_OBJECT

public:
    enum class Change
    {
        Created, // a file was made (or linked) under this name
        Written, // a file was written to
        Closed,  // a writer closed the file: it may be complete now
        MovedIn, // a file arrived whole, moved into the tree from outside it
        Removed  // a file was removed or moved out of the tree
    };

    using QObject::QObject;

    // Watches the folder and every subfolder, those that appear later too;
    // false when the folder cannot be watched.
    virtual bool watch(const QString &folder) = 0;

signals:
    void fileChanged(const QString &path, FolderWatcher::Change change);
    // A folder appeared inside the tree (its files may have come with it).
    void folderAdded(const QString &path);
    // A file or folder was renamed or moved inside the tree: the same one
    // under another name.
    void moved(const QString &from, const QString &to);
    // A folder left the tree (removed, or moved out): its files with it.
    void folderRemoved(const QString &path);
    // Changes may have been missed (the system's queue of them overflowed):
    // the tree must be read again.
    void lostTrack();
    // The watched folder itself went away (removed, moved, unmounted):
    // nothing more is told until it is watched again.
    void folderGone();
};

// The watcher of this platform; null where there is none.
[[nodiscard]] std::unique_ptr<FolderWatcher> makeFolderWatcher();
