#pragma once

#include "FolderWatcher.h"

#include <QHash>
#include <QTimer>

class QSocketNotifier;

// A folder tree watched with inotify, one watch for each folder.
class InotifyFolderWatcher : public FolderWatcher
{
    Q_OBJECT

public:
    InotifyFolderWatcher();
    ~InotifyFolderWatcher() override;

    bool watch(const QString &folder) override;

private:
    void addTree(const QString &folder);
    void readEvents();
    // What was moved away with no arrival under another name in the tree
    // left it.
    void flushMovedAway();
    void dropFolders(const QString &folder);

    struct MovedAway
    {
        QString path;
        bool folder = false;
    };

    int m_fd = -1;
    QString m_root;
    int m_rootWatch = -1;
    QSocketNotifier *m_notifier = nullptr;
    QHash<int, QString> m_folders; // by watch descriptor
    // Moved away, waiting for the other half of a rename (by its cookie).
    QHash<quint32, MovedAway> m_movedAway;
    QTimer m_movedAwayTimer;
};
