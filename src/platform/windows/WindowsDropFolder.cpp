#include "DropFolder.h"

// Not there yet on Windows: the watcher is none there, so no station runs
// and nothing below is reached; each says so rather than act unsafely.

namespace {

QString notHere()
{
    return QStringLiteral("a print station is not possible on this system yet");
}

} // namespace

DropTree::DropTree(QString root) : m_root(std::move(root)) {}

DropTree::~DropTree() = default;

DroppedFile DropTree::status(const QString &) const
{
    return {};
}

void DropTree::walk(const QString &, const QStringList &,
                    const std::function<void(const QString &, const DroppedFile &)> &) const
{
}

QByteArray DropTree::digest(const QString &) const
{
    return {};
}

DroppedCopy DropTree::copyTo(const QString &, const QString &) const
{
    DroppedCopy copy;
    copy.problem = notHere();
    return copy;
}

StationFolder::StationFolder(QString path) : m_path(std::move(path)), m_problem(notHere()) {}

StationFolder::~StationFolder() = default;

std::optional<QString> StationFolder::moveIn(const DropTree &, const QString &, const DroppedFile &,
                                             const QString &)
{
    return notHere();
}
