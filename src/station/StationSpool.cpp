#include "StationSpool.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

bool StationSpool::open()
{
    for (const auto location : {QStandardPaths::RuntimeLocation, QStandardPaths::CacheLocation}) {
        const QString base = QStandardPaths::writableLocation(location);
        if (base.isEmpty() || !QDir().mkpath(base))
            continue;
        auto folder =
            std::make_unique<QTemporaryDir>(base + QStringLiteral("/marrowlake-spool-XXXXXX"));
        if (folder->isValid()) {
            m_folder = std::move(folder);
            return true;
        }
    }
    return false;
}

DroppedCopy StationSpool::copy(const DropTree &tree, const QString &path, QString *copy)
{
    copy->clear();
    const QString dir = m_folder->filePath(QString::number(++m_copies));
    if (!QDir().mkpath(dir)) {
        DroppedCopy none;
        none.noSpace = true;
        none.problem = QStringLiteral("no room for a copy in %1").arg(m_folder->path());
        return none;
    }
    const QString target = dir + u'/' + QFileInfo(path).fileName();
    DroppedCopy copied = tree.copyTo(path, target);
    if (copied.problem.isEmpty())
        *copy = target;
    else
        QDir(dir).removeRecursively();
    return copied;
}

void StationSpool::release(const QString &copy)
{
    if (!copy.isEmpty())
        QDir(QFileInfo(copy).absolutePath()).removeRecursively();
}
