#pragma once

#include "DropFolder.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

// The station's private copies: a folder of its own (mode 0700, under the
// runtime folder, else the cache), each document copied into a folder of
// its own there under its own name, so that the job is named as the
// document, and removed once printed.
class StationSpool
{
public:
    // False when no such folder can be made.
    [[nodiscard]] bool open();
    // Copies the dropped document through the tree's checked descriptor;
    // `copy` is where it went (empty when nothing was copied).
    [[nodiscard]] DroppedCopy copy(const DropTree &tree, const QString &path, QString *copy);
    void release(const QString &copy);

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    qint64 m_copies = 0;
};
