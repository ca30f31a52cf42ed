#pragma once

#include "FolderWatcher.h"

#include <QHash>

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

    int m_fd = -1;
    QString m_root;
    int m_rootWatch = -1;
    QSocketNotifier *m_notifier = nullptr;
    QHash<int, QString> m_folders; // by watch descriptor
};
