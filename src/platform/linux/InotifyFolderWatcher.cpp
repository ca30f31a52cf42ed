#include "InotifyFolderWatcher.h"

#include "DirectoryListing.h"
#include "FileNames.h"

#include <QSocketNotifier>

#include <utility>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

// How long the second half of a rename may take to be read.
constexpr int RenameHalfMs = 50;

constexpr uint32_t FolderEvents = IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO |
                                  IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF |
                                  IN_ONLYDIR;

} // namespace

std::unique_ptr<FolderWatcher> makeFolderWatcher()
{
    return std::make_unique<InotifyFolderWatcher>();
}

InotifyFolderWatcher::InotifyFolderWatcher() : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    if (m_fd < 0)
        return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InotifyFolderWatcher::readEvents);
    m_movedAwayTimer.setSingleShot(true);
    m_movedAwayTimer.setInterval(RenameHalfMs);
    connect(&m_movedAwayTimer, &QTimer::timeout, this, &InotifyFolderWatcher::flushMovedAway);
}

InotifyFolderWatcher::~InotifyFolderWatcher()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool InotifyFolderWatcher::watch(const QString &folder)
{
    if (m_fd < 0 || !namesFolder(folder))
        return false;
    // Watched again after it went away: the old watches are gone with it.
    for (auto it = m_folders.constBegin(); it != m_folders.constEnd(); ++it)
        inotify_rm_watch(m_fd, it.key());
    m_folders.clear();
    m_movedAway.clear();
    m_root = folder;
    addTree(folder);
    m_rootWatch = m_folders.key(folder, -1);
    return !m_folders.isEmpty();
}

void InotifyFolderWatcher::addTree(const QString &folder)
{
    // Watched before it is listed: nothing that arrives in between is missed.
    const int wd = inotify_add_watch(m_fd, nativePath(folder).constData(), FolderEvents);
    if (wd < 0)
        return;
    m_folders.insert(wd, folder);
    const QString dir = folder.endsWith(u'/') ? folder : folder + u'/';
    for (const QString &name : listSubfolders(dir))
        addTree(dir + name);
}

void InotifyFolderWatcher::dropFolders(const QString &folder)
{
    const QString inside = folder + u'/';
    for (auto it = m_folders.begin(); it != m_folders.end();) {
        if (it.value() == folder || it.value().startsWith(inside)) {
            inotify_rm_watch(m_fd, it.key());
            it = m_folders.erase(it);
        } else {
            ++it;
        }
    }
}

void InotifyFolderWatcher::flushMovedAway()
{
    m_movedAwayTimer.stop();
    const QHash<quint32, MovedAway> away = std::exchange(m_movedAway, {});
    for (const MovedAway &gone : away) {
        if (gone.folder) {
            // Its watches would go on telling of it wherever it went.
            dropFolders(gone.path);
            emit folderRemoved(gone.path);
        } else {
            emit fileChanged(gone.path, Change::Removed);
        }
    }
}

void InotifyFolderWatcher::readEvents()
{
    alignas(inotify_event) char buffer[64 * 1024];
    while (true) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t at = 0; at < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            // A rename is two events with one cookie; anything else after
            // the first half means the file left the tree.
            if (!(event->mask & IN_MOVED_TO) && !m_movedAway.isEmpty())
                flushMovedAway();
            if (event->mask & IN_Q_OVERFLOW) {
                // Folders may have appeared unheard of: watch the whole tree
                // again (a folder watched already keeps its watch).
                if (m_rootWatch >= 0)
                    addTree(m_root);
                emit lostTrack();
                continue;
            }
            const bool root = m_rootWatch >= 0 && event->wd == m_rootWatch;
            if (root && (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT))) {
                m_rootWatch = -1;
                emit folderGone();
                continue;
            }
            if (event->mask & IN_IGNORED) {
                m_folders.remove(event->wd);
                if (root) {
                    m_rootWatch = -1;
                    emit folderGone();
                }
                continue;
            }
            const QString folder = m_folders.value(event->wd);
            if (folder.isEmpty() || event->len == 0)
                continue;
            const QString path = folder + u'/' + pathFromNative(event->name);
            const bool isFolder = event->mask & IN_ISDIR;
            // Hidden folders are not searched, as in a folder search.
            const bool hidden = event->name[0] == '.';
            if (event->mask & IN_MOVED_FROM) {
                m_movedAway.insert(event->cookie, {path, isFolder});
                continue;
            }
            if (event->mask & IN_MOVED_TO) {
                const auto from = m_movedAway.find(event->cookie);
                if (from != m_movedAway.end()) {
                    const MovedAway moved = *from;
                    m_movedAway.erase(from);
                    if (moved.folder && hidden) {
                        dropFolders(moved.path);
                        emit folderRemoved(moved.path);
                        continue;
                    }
                    if (moved.folder) {
                        // Its watches stay; their paths change with it.
                        const QString inside = moved.path + u'/';
                        for (QString &watched : m_folders)
                            if (watched == moved.path || watched.startsWith(inside))
                                watched = path + watched.mid(moved.path.size());
                    }
                    emit this->moved(moved.path, path);
                    continue;
                }
            }
            if (isFolder) {
                if ((event->mask & (IN_CREATE | IN_MOVED_TO)) && !hidden) {
                    addTree(path);
                    emit folderAdded(path);
                } else if (event->mask & IN_DELETE) {
                    emit folderRemoved(path);
                }
                continue;
            }
            if (event->mask & IN_MOVED_TO)
                emit fileChanged(path, Change::MovedIn);
            else if (event->mask & IN_CLOSE_WRITE)
                emit fileChanged(path, Change::Closed);
            else if (event->mask & IN_CREATE)
                emit fileChanged(path, Change::Created);
            else if (event->mask & IN_MODIFY)
                emit fileChanged(path, Change::Written);
            else if (event->mask & IN_DELETE)
                emit fileChanged(path, Change::Removed);
        }
    }
    // The other half of a rename not read yet: it comes at once, or the
    // file went out of the tree.
    if (!m_movedAway.isEmpty() && !m_movedAwayTimer.isActive())
        m_movedAwayTimer.start();
}
