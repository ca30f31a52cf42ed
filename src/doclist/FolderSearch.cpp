#include "FolderSearch.h"

#include "DirectoryListing.h"
#include "DocumentPaths.h"
#include "FileDialogs.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

// Hands control to the event loop at most every few milliseconds: often
// enough that the window never stalls, rarely enough that a large tree is
// not searched mostly in the event loop.
class ThrottledYield
{
public:
    explicit ThrottledYield(const Yield &yield) : m_yield(yield) {}
    void operator()()
    {
        if (!m_clock.isValid() || m_clock.elapsed() >= IntervalMs) {
            m_yield();
            m_clock.restart();
        }
    }

private:
    static constexpr int IntervalMs = 5;
    const Yield &m_yield;
    QElapsedTimer m_clock;
};

} // namespace

QString pickFolder(FileDialogs &dialogs, QWidget *owner, const QString &prompt)
{
    return dialogs.pickFolder(owner, prompt);
}

void collectSubfolders(QStringList &folders, bool recurse, const Yield &yield)
{
    QStringList found;
    for (const QString &folder : std::as_const(folders)) {
        // A listing of our own: a search started during a yield below
        // cannot disturb it.
        const QStringList subfolders = listSubfolders(folder);
        yield();
        for (const QString &name : subfolders) {
            yield();
            found << folder + name + u'/';
        }
    }
    if (!found.isEmpty() && recurse)
        collectSubfolders(found, true, yield);
    for (const QString &folder : std::as_const(found)) {
        yield();
        folders << folder;
    }
}

QStringList listFiles(const QString &folder, const QString &pattern)
{
    QString dir = folder;
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return listMatchingFiles(dir, pattern);
}

void addFolderTree(const QString &folder, const QString &pattern, bool cleanRoot,
                   const std::function<void(const QString &)> &add, const Yield &yield)
{
    ThrottledYield throttled(yield);
    const Yield often = [&throttled] { throttled(); };
    QStringList folders{folder + u'/'};
    collectSubfolders(folders, true, often);
    for (const QString &entry : std::as_const(folders)) {
        often(); // a large tree has many folders to list: stay responsive
        const QString dir = entry.chopped(1);
        for (const QString &name : listFiles(dir, pattern)) {
            if (name.startsWith(u'~'))
                continue;
            const QString path = joinPath(dir, name);
            add(cleanRoot ? withoutDoubledRoot(path) : path);
        }
    }
}

bool hasDocumentType(const QString &name)
{
    static const QStringList types{".doc",  ".docx", ".docm", ".dot",
                                   ".dotx", ".dotm", ".rtf",  ".odt"};
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 && types.contains(name.mid(dot).toLower()) && !name.startsWith(u'~');
}

bool isPrintableDocument(const QString &path)
{
    const QString name = path.mid(std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')) + 1);
    return hasDocumentType(name) && !isHiddenPath(path);
}

void expandDroppedPaths(const QStringList &paths, const std::function<void(const QString &)> &add,
                        const Yield &yield,
                        const std::function<bool(const QString &path)> &fromFolder)
{
    for (const QString &path : paths) {
        // A folder counts when it is listed like any other (not hidden) and
        // is a folder, or a link to one. A drive's or the system's root gets
        // one separator before its names.
        const bool folder = namesFolder(path) && !isHiddenPath(path);
        if (folder && fromFolder)
            addFolderTree(
                path, QStringLiteral("*.*"), true,
                [&](const QString &found) {
                    if (fromFolder(found))
                        add(found);
                },
                yield);
        else if (folder)
            addFolderTree(path, QStringLiteral("*.*"), true, add, yield);
        else
            add(path);
    }
}
