#include "InotifyFolderWatcher.h"

#include "DirectoryListing.h"
#include "FileNames.h"

#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

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

void InotifyFolderWatcher::readEvents()
{
    alignas(inotify_event) char buffer[64 * 1024];
    while (true) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0)
            return;
        for (ssize_t at = 0; at < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
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
            if (event->mask & IN_ISDIR) {
                // Hidden folders are not searched, as in a folder search.
                if ((event->mask & (IN_CREATE | IN_MOVED_TO)) && event->name[0] != '.') {
                    addTree(path);
                    emit folderAdded(path);
                }
                continue;
            }
            if (event->mask & IN_MOVED_TO)
                emit fileChanged(path, Change::MovedIn);
            else if (event->mask & IN_CLOSE_WRITE)
                emit fileChanged(path, Change::Closed);
            else if (event->mask & (IN_CREATE | IN_MODIFY))
                emit fileChanged(path, Change::Written);
            else if (event->mask & (IN_DELETE | IN_MOVED_FROM))
                emit fileChanged(path, Change::Removed);
        }
    }
}
