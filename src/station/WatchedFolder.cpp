#include "WatchedFolder.h"

#include "DirectoryListing.h"
#include "FileNames.h"
#include "FolderSearch.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace {

// How long a document must stay unchanged, after its writer is done, before
// it counts as arrived; one found by listing the folder, whose writer may
// only have stalled, or linked in, longer.
constexpr int SettleMs = 300;
constexpr int ListedSettleMs = 2000;
// How often a folder that went away is looked for.
constexpr int RetryMs = 3000;
// How long a document that left may take to turn up elsewhere as the same
// file and count as moved.
constexpr int MovedWithinMs = 10000;

bool isUnder(const QString &path, const QString &folder)
{
    return path.size() > folder.size() && path.startsWith(folder) && path[folder.size()] == u'/';
}

// A path as the person running the station reads it.
QString said(const QString &path)
{
    return QDir::toNativeSeparators(shownPath(path));
}

// The path after a rename of `from` (a file, or a folder with all in it).
bool renamePath(QString &path, const QString &from, const QString &to)
{
    if (path != from && !isUnder(path, from))
        return false;
    path = to + path.mid(from.size());
    return true;
}

} // namespace

WatchedFolder::WatchedFolder(FolderWatcher &watcher, QString folder, QString stateFile,
                             QObject *parent)
    : QObject(parent), m_watcher(watcher), m_folder(std::move(folder)), m_tree(m_folder),
      m_record(std::move(stateFile), m_folder, [this](const QString &text) { emit problem(text); })
{
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &WatchedFolder::settle);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &WatchedFolder::retryWatch);
    connect(&m_watcher, &FolderWatcher::lostTrack, this, &WatchedFolder::rescan);
    connect(&m_watcher, &FolderWatcher::folderGone, this, &WatchedFolder::folderGone);
    connect(&m_watcher, &FolderWatcher::fileChanged, this, &WatchedFolder::fileChanged);
    connect(&m_watcher, &FolderWatcher::moved, this, &WatchedFolder::moved);
    connect(&m_watcher, &FolderWatcher::folderRemoved, this,
            [this](const QString &path) { removed(path, true); });
    connect(&m_watcher, &FolderWatcher::folderAdded, this,
            [this](const QString &path) { addTree(path, true); });
}

WatchedFolder::~WatchedFolder() = default;

bool WatchedFolder::takesName(const QString &name)
{
    // The types the program registers for, so that an upload under a
    // temporary name (x.docx.part) never prints.
    return hasDocumentType(name) && !name.startsWith(u'.');
}

QString WatchedFolder::stateFileFor(const QString &folder)
{
    const QByteArray key =
        QCryptographicHash::hash(nativePath(folder), QCryptographicHash::Sha1).toHex();
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/marrowlake/watched/") + QString::fromLatin1(key) +
           QStringLiteral(".json");
}

bool WatchedFolder::claim(QString *why)
{
    return m_record.lock(why);
}

bool WatchedFolder::start()
{
    // Where each document is copied before anything reads it.
    if (!m_spool.open()) {
        emit problem(QStringLiteral("no private folder for copies of the documents can be made"));
        return false;
    }
    // Watched before it is read, so that nothing arriving meanwhile is missed.
    if (!m_watcher.watch(m_folder))
        return false;
    const StationRecord::Loaded loaded = m_record.load();
    std::vector<std::pair<qint64, QString>> present;
    m_tree.walk(m_folder, m_leftOut, [&](const QString &path, const DroppedFile &file) {
        if (!takesName(QFileInfo(path).fileName()))
            return;
        if (file.isLink)
            linkSeen(path);
        else
            present.emplace_back(file.modifiedMs, path);
    });
    if (loaded != StationRecord::Loaded::Read) {
        // A first watch: what is there is left alone.
        for (const auto &entry : present)
            m_record.adopt(entry.second,
                           {m_tree.status(entry.second), m_tree.digest(entry.second)});
    } else {
        // What arrived while nobody watched comes first, oldest first.
        // Nothing is forgotten for not being there: the folder may be an
        // empty mount point now.
        std::stable_sort(present.begin(), present.end());
        for (const auto &entry : present)
            consider(entry.second, true, false, ListedSettleMs);
    }
    m_record.writeWhole();
    return true;
}

QString WatchedFolder::takeArrived()
{
    return m_arrived.isEmpty() ? QString() : m_arrived.takeFirst();
}

WatchedFolder::Taken WatchedFolder::take(const QString &path)
{
    Taken taken;
    taken.path = path;
    if (m_beforeTake)
        m_beforeTake(path);
    const DroppedFile expected = m_queued.value(path);
    QString copied;
    const DroppedCopy copy = m_spool.copy(m_tree, path, &copied);
    if (copy.noSpace) {
        taken.stationProblem = copy.problem;
        return taken;
    }
    if (!copy.problem.isEmpty() || !copy.file.sameAs(expected)) {
        // Not the document that arrived: a link is never followed, and
        // another content arrives anew once it holds still.
        m_spool.release(copied);
        m_queued.remove(path);
        m_renamedQueued.remove(path);
        if (copy.file.isLink || copy.file.isFolder)
            linkSeen(path);
        else if (copy.file.exists)
            consider(path, true, true, SettleMs);
        return taken;
    }
    taken.copy = copied;
    taken.file = copy.file;
    taken.digest = copy.digest;
    return taken;
}

void WatchedFolder::release(const Taken &taken)
{
    m_spool.release(taken.copy);
}

QString WatchedFolder::currentPath(const QString &path) const
{
    return m_renamedQueued.value(path, path);
}

void WatchedFolder::markDone(const Taken &taken)
{
    const QString path = currentPath(taken.path);
    m_renamedQueued.remove(taken.path);
    m_queued.remove(path);
    m_record.done(path, {taken.file, taken.digest});
    // Written to while it printed: that is a drop of its own.
    const DroppedFile now = m_tree.status(path);
    if (now.isFile && !now.sameAs(taken.file))
        consider(path, true, true, SettleMs);
}

void WatchedFolder::movedAway(const QString &path)
{
    m_record.gone(path);
}

void WatchedFolder::fileChanged(const QString &path, FolderWatcher::Change change)
{
    if (!takesName(QFileInfo(path).fileName()))
        return;
    switch (change) {
    case FolderWatcher::Change::Created:
        // A hard link made here is a whole file whose writer nobody hears.
        if (m_tree.status(path).links > 1)
            consider(path, true, true, ListedSettleMs);
        else
            consider(path, false, true, SettleMs);
        break;
    case FolderWatcher::Change::Written:
        consider(path, false, false, SettleMs);
        break;
    case FolderWatcher::Change::Closed:
        consider(path, true, false, SettleMs);
        break;
    case FolderWatcher::Change::MovedIn:
        consider(path, true, true, SettleMs);
        break;
    case FolderWatcher::Change::Removed:
        removed(path, false);
        break;
    }
}

void WatchedFolder::moved(const QString &from, const QString &to)
{
    const DroppedFile file = m_tree.status(to);
    const bool takenBefore = file.isFolder || takesName(QFileInfo(from).fileName());
    const bool takenNow = file.isFolder || takesName(QFileInfo(to).fileName());
    if (isLeftOut(to) || !takenNow) {
        removed(from, file.isFolder);
        return;
    }
    if (!takenBefore) { // an upload renamed to its name once whole
        consider(to, true, true, SettleMs);
        return;
    }
    // The same documents under other names.
    bool known = m_record.documents().contains(from);
    QHash<QString, Candidate> candidates;
    for (auto it = m_candidates.begin(); it != m_candidates.end();) {
        QString path = it.key();
        if (renamePath(path, from, to)) {
            candidates.insert(path, it.value());
            it = m_candidates.erase(it);
        } else {
            ++it;
        }
    }
    known = known || !candidates.isEmpty();
    m_candidates.insert(candidates);
    QHash<QString, DroppedFile> queued;
    for (auto it = m_queued.begin(); it != m_queued.end();) {
        QString path = it.key();
        if (!renamePath(path, from, to)) {
            ++it;
            continue;
        }
        // Where each one taken will be found when it is done with.
        bool tracked = false;
        for (QString &now : m_renamedQueued)
            if (now == it.key())
                now = path, tracked = true;
        if (!tracked)
            m_renamedQueued.insert(it.key(), path);
        queued.insert(path, it.value());
        it = m_queued.erase(it);
    }
    known = known || !queued.isEmpty();
    m_queued.insert(queued);
    for (QString &path : m_arrived)
        renamePath(path, from, to);
    m_record.moved(from, to);
    if (!known && !file.isFolder)
        consider(to, true, false, SettleMs);
}

void WatchedFolder::removed(const QString &path, bool folder)
{
    auto goes = [&](const QString &p) { return p == path || (folder && isUnder(p, path)); };
    m_candidates.removeIf([&](const auto &entry) { return goes(entry.key()); });
    // One waiting its turn goes with it; the one printing finishes.
    m_arrived.removeIf([&](const QString &p) {
        if (!goes(p))
            return false;
        m_queued.remove(p);
        return true;
    });
    const auto &documents = m_record.documents();
    for (auto it = documents.constBegin(); it != documents.constEnd(); ++it) {
        if (goes(it.key())) {
            m_left.append({it.key(), it.value(), {}});
            m_left.last().since.start();
        }
    }
    if (folder)
        m_record.goneUnder(path);
    else
        m_record.gone(path);
}

bool WatchedFolder::movedFromElsewhere(const QString &path, const DroppedFile &file)
{
    m_left.removeIf([](const Left &left) { return left.since.elapsed() > MovedWithinMs; });
    for (qsizetype i = 0; i < m_left.size(); ++i) {
        // The same file: its identity, not its content (the same content
        // dropped again is a request of its own).
        if (m_left[i].document.file.sameAs(file)) {
            m_record.done(path, m_left.takeAt(i).document);
            return true;
        }
    }
    return false;
}

void WatchedFolder::rescan()
{
    // Every document not done with yet is considered again; one done with,
    // queued or printing is not.
    addTree(m_folder, false);
}

void WatchedFolder::folderGone()
{
    m_candidates.clear();
    emit problem(QStringLiteral("the folder %1 is gone; it is looked for every %2 seconds")
                     .arg(said(m_folder))
                     .arg(RetryMs / 1000));
    m_retry.start();
}

void WatchedFolder::retryWatch()
{
    if (!namesFolder(m_folder) || !m_watcher.watch(m_folder))
        return;
    m_retry.stop();
    emit problem(QStringLiteral("the folder %1 is back").arg(said(m_folder)));
    rescan();
}

void WatchedFolder::addTree(const QString &folder, bool fresh)
{
    m_tree.walk(folder, m_leftOut, [this, fresh](const QString &path, const DroppedFile &file) {
        if (!takesName(QFileInfo(path).fileName()))
            return;
        if (file.isLink)
            linkSeen(path);
        else
            consider(path, true, fresh, ListedSettleMs);
    });
}

void WatchedFolder::leaveOut(const QStringList &folders)
{
    for (const QString &folder : folders)
        if (!folder.isEmpty())
            m_leftOut << QDir::cleanPath(folder) + u'/';
}

bool WatchedFolder::isLeftOut(const QString &path) const
{
    const QString inside = path + u'/';
    return std::any_of(m_leftOut.cbegin(), m_leftOut.cend(),
                       [&inside](const QString &out) { return inside.startsWith(out); });
}

void WatchedFolder::linkSeen(const QString &path)
{
    // A link is not followed: in a shared drop folder it could print any
    // file the station's user may read. Said once.
    if (m_linksSaid.contains(path))
        return;
    m_linksSaid.insert(path);
    emit problem(
        QStringLiteral("%1 is a link or no plain file; it is not followed").arg(shownPath(path)));
}

void WatchedFolder::consider(const QString &path, bool writerDone, bool fresh, int settleMs)
{
    if (isLeftOut(path) || m_queued.contains(path))
        return;
    const DroppedFile file = m_tree.status(path);
    if (!file.exists)
        return;
    if (!file.isFile) {
        linkSeen(path);
        return;
    }
    auto candidate = m_candidates.find(path);
    if (candidate == m_candidates.end()) {
        // Seen as it is: a change of its time or attributes only.
        const auto done = m_record.documents().constFind(path);
        if (!fresh && done != m_record.documents().constEnd() && done->file.sameAs(file))
            return;
        candidate = m_candidates.insert(path, Candidate());
        candidate->order = m_seen++;
    }
    candidate->file = file;
    candidate->writerDone = candidate->writerDone || writerDone;
    candidate->fresh = candidate->fresh || fresh;
    // Found by listing, it keeps the longer wait until its writer is heard
    // closing it.
    if (settleMs == ListedSettleMs || writerDone || candidate->settleMs == 0)
        candidate->settleMs = settleMs;
    candidate->quiet.restart();
    if (!m_settle.isActive())
        m_settle.start(settleMs);
}

bool WatchedFolder::knownAlready(const QString &path, const DroppedFile &file)
{
    const auto &documents = m_record.documents();
    const auto done = documents.constFind(path);
    if (done != documents.constEnd()) {
        if (done->file.sameAs(file))
            return true;
        // Another file under the name, made at another time: a drop.
        if (done->file.inode != file.inode && done->file.modifiedMs != file.modifiedMs)
            return false;
        // Touched, or the same file on a share mounted anew: the content says.
        const QByteArray digest = m_tree.digest(path);
        if (digest.isEmpty() || digest != done->digest)
            return false;
        m_record.done(path, {file, digest});
        return true;
    }
    // Renamed while nobody watched (or while changes were lost): the same
    // file, gone from where it was done with.
    for (auto it = documents.constBegin(); it != documents.constEnd(); ++it) {
        if (it->file.inode != file.inode || it->file.size != file.size ||
            it->file.modifiedMs != file.modifiedMs || m_tree.status(it.key()).exists)
            continue;
        if (m_tree.digest(path) != it->digest)
            return false;
        m_record.moved(it.key(), path);
        return true;
    }
    return false;
}

void WatchedFolder::settle()
{
    std::vector<std::pair<qint64, QString>> ready;
    qint64 wait = -1; // until the next candidate may be ready
    for (auto it = m_candidates.begin(); it != m_candidates.end();) {
        const DroppedFile now = m_tree.status(it.key());
        if (!now.isFile) {
            if (now.exists)
                linkSeen(it.key());
            it = m_candidates.erase(it);
            continue;
        }
        if (now != it->file) { // written to without our hearing of it yet
            it->file = now;
            it->quiet.restart();
        }
        const qint64 left = it->settleMs - it->quiet.elapsed();
        // An empty one too: it is reported once, then left until it changes.
        if (it->writerDone && left <= 0) {
            ready.emplace_back(it->order, it.key());
            ++it;
            continue;
        }
        // One still open for writing waits for its writer's close.
        if (it->writerDone)
            wait =
                wait < 0 ? std::max<qint64>(left, 10) : std::min(wait, std::max<qint64>(left, 10));
        ++it;
    }
    if (wait >= 0)
        m_settle.start(int(wait));
    std::sort(ready.begin(), ready.end());
    bool any = false;
    for (const auto &entry : ready) {
        const QString &path = entry.second;
        const Candidate candidate = m_candidates.take(path);
        // The very file done with at this path (a new folder's walk can find
        // a file that was then told as renamed into it) is no drop.
        const auto done = m_record.documents().constFind(path);
        if (done != m_record.documents().constEnd() && done->file.sameAs(candidate.file))
            continue;
        if (candidate.fresh ? movedFromElsewhere(path, candidate.file)
                            : knownAlready(path, candidate.file))
            continue;
        m_arrived << path;
        m_queued.insert(path, candidate.file);
        any = true;
    }
    if (any)
        emit arrived();
}
