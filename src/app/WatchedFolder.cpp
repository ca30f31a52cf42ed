#include "WatchedFolder.h"

#include "DirectoryListing.h"
#include "FileNames.h"
#include "FolderSearch.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {

// How long a document must stay unchanged, after its writer is done, before
// it counts as arrived; one found by listing the folder, whose writer may
// only have stalled, longer.
constexpr int SettleMs = 300;
constexpr int ListedSettleMs = 2000;
// How often a folder that went away is looked for.
constexpr int RetryMs = 3000;
// How long a document that left the tree may take to turn up elsewhere in it
// and count as moved.
constexpr int MovedWithinMs = 60000;

} // namespace

WatchedFolder::WatchedFolder(FolderWatcher &watcher, QString folder, QString stateFile,
                             QObject *parent)
    : QObject(parent), m_watcher(watcher), m_folder(std::move(folder)),
      m_stateFile(std::move(stateFile))
{
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &WatchedFolder::settle);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &WatchedFolder::retryWatch);
    connect(&m_watcher, &FolderWatcher::lostTrack, this, &WatchedFolder::rescan);
    connect(&m_watcher, &FolderWatcher::folderGone, this, &WatchedFolder::folderGone);
    connect(&m_watcher, &FolderWatcher::fileChanged, this, &WatchedFolder::fileChanged);
    connect(&m_watcher, &FolderWatcher::folderAdded, this,
            [this](const QString &path) { addTree(path, true); });
}

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

bool WatchedFolder::start()
{
    // Watched before it is read, so that nothing arriving meanwhile is missed.
    if (!m_watcher.watch(m_folder))
        return false;
    // A state that cannot be read is a first watch: what is there is left
    // alone rather than printed again.
    const bool firstWatch = !QFileInfo::exists(m_stateFile) || !loadState();
    QStringList present;
    addFolderTree(
        m_folder, QStringLiteral("*.do*"), false,
        [&present](const QString &path) {
            if (takesName(QFileInfo(path).fileName()))
                present << path;
        },
        [] {});
    if (firstWatch) {
        m_done.clear();
        for (const QString &path : std::as_const(present))
            m_done.insert(path, {stampOf(path), digestOf(path)});
    } else {
        // What arrived while nobody watched comes first, oldest first; the
        // state keeps only what is still there.
        QHash<QString, Done> stillThere;
        std::vector<std::pair<Stamp, QString>> missed;
        for (const QString &path : std::as_const(present)) {
            const Stamp stamp = stampOf(path);
            const auto done = m_done.constFind(path);
            if (done != m_done.constEnd() && done->stamp == stamp)
                stillThere.insert(path, *done);
            else
                missed.emplace_back(stamp, path);
        }
        // Gone since: a document of the same content elsewhere was moved.
        for (auto it = m_done.constBegin(); it != m_done.constEnd(); ++it)
            if (!stillThere.contains(it.key()) && !it->digest.isEmpty())
                m_left[it->digest].start();
        m_done = stillThere;
        std::stable_sort(missed.begin(), missed.end(), [](const auto &a, const auto &b) {
            return a.first.modified < b.first.modified;
        });
        for (const auto &entry : missed)
            consider(entry.second, true, ListedSettleMs);
    }
    saveState();
    return true;
}

QString WatchedFolder::takeArrived()
{
    return m_arrived.isEmpty() ? QString() : m_arrived.takeFirst();
}

void WatchedFolder::markDone(const QString &path)
{
    const Done done{stampOf(path), digestOf(path)};
    m_done.insert(path, done);
    appendState(QJsonObject{{"done", path},
                            {"size", double(done.stamp.size)},
                            {"modified", double(done.stamp.modified)},
                            {"digest", QString::fromLatin1(done.digest)}});
}

void WatchedFolder::forget(const QString &path)
{
    const auto done = m_done.constFind(path);
    if (done == m_done.constEnd())
        return;
    if (!done->digest.isEmpty())
        m_left[done->digest].start();
    m_done.erase(done);
    appendState(QJsonObject{{"gone", path}});
}

void WatchedFolder::fileChanged(const QString &path, FolderWatcher::Change change)
{
    if (!takesName(QFileInfo(path).fileName()))
        return;
    switch (change) {
    case FolderWatcher::Change::Written:
        consider(path, false, SettleMs);
        break;
    case FolderWatcher::Change::Closed:
    case FolderWatcher::Change::MovedIn:
        consider(path, true, SettleMs);
        break;
    case FolderWatcher::Change::Removed:
        m_candidates.remove(path);
        forget(path);
        break;
    }
}

void WatchedFolder::rescan()
{
    // Every document not done yet is considered again; one done is not.
    addTree(m_folder, true);
}

void WatchedFolder::folderGone()
{
    m_candidates.clear();
    emit problem(QStringLiteral("the folder %1 is gone; it is looked for every %2 seconds")
                     .arg(m_folder)
                     .arg(RetryMs / 1000));
    m_retry.start();
}

void WatchedFolder::retryWatch()
{
    if (!namesFolder(m_folder) || !m_watcher.watch(m_folder))
        return;
    m_retry.stop();
    emit problem(QStringLiteral("the folder %1 is back").arg(m_folder));
    rescan();
}

void WatchedFolder::addTree(const QString &folder, bool writerDone)
{
    addFolderTree(
        folder, QStringLiteral("*.*"), false,
        [this, writerDone](const QString &path) {
            if (takesName(QFileInfo(path).fileName()))
                consider(path, writerDone, ListedSettleMs);
        },
        [] {});
}

void WatchedFolder::leaveOut(const QStringList &folders)
{
    for (const QString &folder : folders)
        if (!folder.isEmpty())
            m_leftOut << QDir::cleanPath(folder) + u'/';
}

std::optional<QString> WatchedFolder::moveInto(const QString &path, const QString &folder,
                                               const QString &reason)
{
    if (!makeNamedFolder(folder))
        return QStringLiteral("the folder %1 cannot be made").arg(folder);
    const QFileInfo source(path); // names only: the file is reached through FileNames.h
    const QString base = source.completeBaseName(), suffix = source.suffix();
    QString target;
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? source.fileName()
                                    : QStringLiteral("%1 (%2)%3")
                                          .arg(base)
                                          .arg(n)
                                          .arg(suffix.isEmpty() ? QString() : u'.' + suffix);
        target = QDir(folder).filePath(name);
        if (!fileStatus(target).exists && !fileStatus(target + QStringLiteral(".txt")).exists)
            break;
    }
    if (!renameNamedFile(path, target)) {
        // Another file system: copied whole and on the disk (QSaveFile
        // syncs before it puts the copy in place, under a name of ours
        // that then takes the document's) before the document goes from
        // where it was.
        const QString copy = QDir(folder).filePath(
            QStringLiteral(".marrowlake-%1.moving").arg(qApp->applicationPid()));
        QFile in;
        QSaveFile out(copy);
        bool copied =
            openNamedFile(in, path, QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly);
        while (copied && !in.atEnd()) {
            const QByteArray chunk = in.read(1 << 20);
            copied = !chunk.isEmpty() && out.write(chunk) == chunk.size();
        }
        copied = copied && out.commit() && renameNamedFile(copy, target);
        if (!copied || !removeNamedFile(path)) {
            QFile::remove(copy);
            removeNamedFile(target);
            return QStringLiteral("%1 could not be moved to %2").arg(shownPath(path), folder);
        }
    }
    if (!reason.isEmpty()) {
        QFile why;
        if (openNamedFile(why,
                          QDir(folder).filePath(QFileInfo(target).completeBaseName() +
                                                QStringLiteral(".txt")),
                          QIODevice::WriteOnly))
            why.write(reason.toUtf8() + '\n');
    }
    return std::nullopt;
}

void WatchedFolder::consider(const QString &path, bool writerDone, int settleMs)
{
    for (const QString &leftOut : std::as_const(m_leftOut))
        if (path.startsWith(leftOut))
            return;
    // A link is not followed: in a shared drop folder it could print any
    // file the station's user may read. Said once.
    if (fileStatus(path).isLink) {
        if (!m_linksSaid.contains(path)) {
            m_linksSaid.insert(path);
            emit problem(
                QStringLiteral("%1 is a link; links are not followed").arg(shownPath(path)));
        }
        return;
    }
    const Stamp stamp = stampOf(path);
    if (stamp.size < 0)
        return;
    const auto done = m_done.constFind(path);
    if (done != m_done.constEnd() && done->stamp == stamp)
        return; // seen as it is: a change of its time or attributes only
    auto candidate = m_candidates.find(path);
    if (candidate == m_candidates.end()) {
        candidate = m_candidates.insert(path, Candidate());
        candidate->order = m_seen++;
    }
    candidate->stamp = stamp;
    candidate->writerDone = writerDone;
    // Found by listing, it keeps the longer wait until its writer is heard
    // closing it.
    if (settleMs == ListedSettleMs || writerDone || candidate->settleMs == 0)
        candidate->settleMs = settleMs;
    candidate->quiet.restart();
    if (!m_settle.isActive())
        m_settle.start(settleMs);
}

void WatchedFolder::settle()
{
    std::vector<std::pair<qint64, QString>> ready;
    qint64 wait = -1; // until the next candidate may be ready
    for (auto it = m_candidates.begin(); it != m_candidates.end();) {
        const Stamp now = stampOf(it.key());
        if (now.size < 0) {
            it = m_candidates.erase(it);
            continue;
        }
        if (now != it->stamp) { // written to without our hearing of it yet
            it->stamp = now;
            it->quiet.restart();
        }
        const qint64 left = it->settleMs - it->quiet.elapsed();
        // An empty one too: it is reported once, then left until it changes.
        if (it->writerDone && left <= 0) {
            ready.emplace_back(it->order, it.key());
            it = m_candidates.erase(it);
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
        // The same content as one that just left the tree, or as the one
        // done at this path: moved or touched, not sent anew.
        const QString &path = entry.second;
        const QByteArray digest = digestOf(path);
        const auto left = m_left.find(digest);
        const bool moved = left != m_left.end() && left->elapsed() < MovedWithinMs;
        const auto done = m_done.constFind(path);
        if (moved || (done != m_done.constEnd() && done->digest == digest && !digest.isEmpty())) {
            if (moved)
                m_left.erase(left);
            markDone(path);
            continue;
        }
        m_arrived << path;
        any = true;
    }
    if (any)
        emit arrived();
}

QByteArray WatchedFolder::digestOf(const QString &path)
{
    QFile file;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!openNamedFile(file, path, QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result().toHex();
}

WatchedFolder::Stamp WatchedFolder::stampOf(const QString &path)
{
    const FileStatus status = fileStatus(path);
    if (!status.isFile)
        return {};
    return {status.size, status.modifiedMs};
}

bool WatchedFolder::loadState()
{
    // One JSON object a line: the folder first, then each document done
    // with ("done") or gone since ("gone"), in order. An older version wrote
    // one object with a "done" list: read the same way.
    QFile file(m_stateFile);
    if (!file.open(QIODevice::ReadOnly))
        return keepStateAside();
    const QByteArray content = file.readAll();
    file.close();
    QList<QJsonObject> records;
    bool readable = true;
    const QJsonDocument whole = QJsonDocument::fromJson(content);
    if (whole.isObject() && whole.object().value("done").isArray()) {
        for (const QJsonValue &entry : whole.object().value("done").toArray()) {
            QJsonObject record = entry.toObject();
            record.insert("done", record.value("path"));
            records << record;
        }
    } else {
        const QList<QByteArray> lines = content.split('\n');
        for (qsizetype i = 0; i < lines.size() && readable; ++i) {
            if (lines[i].trimmed().isEmpty())
                continue;
            const QJsonDocument line = QJsonDocument::fromJson(lines[i]);
            // A last line cut short (the station stopped while writing it)
            // is only that line lost.
            if (!line.isObject()) {
                readable = i + 1 >= lines.size() || lines.mid(i + 1).join().trimmed().isEmpty();
                continue;
            }
            records << line.object();
        }
        readable = readable && !records.isEmpty() && records.first().contains("folder");
    }
    if (!readable)
        return keepStateAside();
    for (const QJsonObject &record : std::as_const(records)) {
        if (record.contains("gone")) {
            m_done.remove(record.value("gone").toString());
        } else if (record.contains("done")) {
            m_done.insert(record.value("done").toString(),
                          {{qint64(record.value("size").toDouble()),
                            qint64(record.value("modified").toDouble())},
                           record.value("digest").toString().toLatin1()});
        }
    }
    return true;
}

bool WatchedFolder::keepStateAside()
{
    const QString aside = m_stateFile + QStringLiteral(".bad");
    QFile::remove(aside);
    const bool kept = QFile::rename(m_stateFile, aside);
    emit problem(QStringLiteral("the record of what was printed from %1 cannot be read (%2); "
                                "documents there now are left alone")
                     .arg(m_folder, kept ? QStringLiteral("kept as ") + aside
                                         : QStringLiteral("in ") + m_stateFile));
    return false;
}

void WatchedFolder::saveState()
{
    QByteArray content =
        QJsonDocument(QJsonObject{{"folder", m_folder}}).toJson(QJsonDocument::Compact) + '\n';
    for (auto it = m_done.constBegin(); it != m_done.constEnd(); ++it)
        content += QJsonDocument(QJsonObject{{"done", it.key()},
                                             {"size", double(it->stamp.size)},
                                             {"modified", double(it->stamp.modified)},
                                             {"digest", QString::fromLatin1(it->digest)}})
                       .toJson(QJsonDocument::Compact) +
                   '\n';
    QDir().mkpath(QFileInfo(m_stateFile).absolutePath());
    QSaveFile file(m_stateFile);
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(content) >= 0 && file.commit();
    m_stateLines = m_done.size() + 1;
    stateWritten(saved, file.errorString());
}

void WatchedFolder::appendState(const QJsonObject &record)
{
    // Written anew once most of it is out of date: the cost of a document
    // stays the same however long the station runs.
    if (m_stateLines > 2 * m_done.size() + 64) {
        saveState();
        return;
    }
    QFile file(m_stateFile);
    const bool saved =
        file.open(QIODevice::Append) &&
        file.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n') >= 0 &&
        file.flush();
    ++m_stateLines;
    stateWritten(saved, file.errorString());
}

void WatchedFolder::stateWritten(bool written, const QString &why)
{
    // Said at once, and once until it works again: a later watch would
    // not know what was printed.
    if (!written && !m_saveFailed)
        emit problem(QStringLiteral("the record of what was printed cannot be written to %1 (%2)")
                         .arg(m_stateFile, why));
    m_saveFailed = !written;
}
