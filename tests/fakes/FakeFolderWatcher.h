#pragma once

#include "DirectoryListing.h"
#include "FolderWatcher.h"

// A folder watcher the test speaks for: it watches any folder that exists,
// and tells only what the test makes it tell.
class FakeFolderWatcher : public FolderWatcher
{
public:
    bool watch(const QString &folder) override { return namesFolder(folder); }
    void overflow() { emit lostTrack(); }
    void tell(const QString &path, Change change) { emit fileChanged(path, change); }
    void gone() { emit folderGone(); }
    void move(const QString &from, const QString &to) { emit moved(from, to); }
    void addFolder(const QString &path) { emit folderAdded(path); }
};
