// A folder tree watched with ReadDirectoryChangesW on the whole tree, read
// on a thread of its own and told on the owner's thread. Windows tells no
// close of a file: a file written to counts as closed once it can be opened
// without sharing writing, that is, once no writer has it open.

#include "FolderWatcher.h"

#include <QDir>
#include <QHash>
#include <QMetaObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// How often files still open for writing are looked at again.
constexpr int OpenCheckMs = 300;
constexpr DWORD BufferBytes = 64 * 1024;

struct Notice
{
    DWORD action = 0;
    QString path; // below the root, with "/"
};

class WindowsFolderWatcher : public FolderWatcher
{
public:
    WindowsFolderWatcher()
    {
        m_openCheck.setInterval(OpenCheckMs);
        connect(&m_openCheck, &QTimer::timeout, this, &WindowsFolderWatcher::checkOpenFiles);
    }
    ~WindowsFolderWatcher() override { stop(); }

    bool watch(const QString &folder) override
    {
        stop();
        m_root = QDir::cleanPath(folder);
        m_dir = CreateFileW(
            QDir::toNativeSeparators(m_root).toStdWString().c_str(), FILE_LIST_DIRECTORY,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        if (m_dir == INVALID_HANDLE_VALUE)
            return false;
        m_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_thread = std::thread([this] { readChanges(); });
        return true;
    }

private:
    void stop()
    {
        if (m_thread.joinable()) {
            SetEvent(m_stopEvent);
            m_thread.join();
        }
        if (m_stopEvent) {
            CloseHandle(m_stopEvent);
            m_stopEvent = nullptr;
        }
        if (m_dir != INVALID_HANDLE_VALUE) {
            CloseHandle(m_dir);
            m_dir = INVALID_HANDLE_VALUE;
        }
        m_open.clear();
        m_renamedFrom.clear();
    }

    // On the reading thread: every change of the tree, in order.
    void readChanges()
    {
        std::vector<DWORD> buffer(BufferBytes / sizeof(DWORD));
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        const DWORD interesting = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                  FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE |
                                  FILE_NOTIFY_CHANGE_CREATION;
        while (true) {
            ResetEvent(overlapped.hEvent);
            if (!ReadDirectoryChangesW(m_dir, buffer.data(), BufferBytes, TRUE, interesting,
                                       nullptr, &overlapped, nullptr)) {
                post([this] { emit folderGone(); });
                break;
            }
            const HANDLE waits[2] = {overlapped.hEvent, m_stopEvent};
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
                CancelIoEx(m_dir, &overlapped);
                DWORD ignored = 0;
                GetOverlappedResult(m_dir, &overlapped, &ignored, TRUE);
                break;
            }
            DWORD bytes = 0;
            if (!GetOverlappedResult(m_dir, &overlapped, &bytes, FALSE)) {
                // The folder itself went (removed, or its drive).
                post([this] { emit folderGone(); });
                break;
            }
            if (bytes == 0) { // more changes than the buffer held
                post([this] { emit lostTrack(); });
                continue;
            }
            std::vector<Notice> notices;
            for (auto *at = reinterpret_cast<const char *>(buffer.data());;) {
                const auto *info = reinterpret_cast<const FILE_NOTIFY_INFORMATION *>(at);
                notices.push_back(
                    {info->Action, QString::fromWCharArray(
                                       info->FileName, int(info->FileNameLength / sizeof(wchar_t)))
                                       .replace(u'\\', u'/')});
                if (info->NextEntryOffset == 0)
                    break;
                at += info->NextEntryOffset;
            }
            post([this, notices = std::move(notices)] { tell(notices); });
        }
        CloseHandle(overlapped.hEvent);
    }

    template <typename Function> void post(Function function)
    {
        QMetaObject::invokeMethod(this, std::move(function), Qt::QueuedConnection);
    }

    [[nodiscard]] static bool isFolder(const QString &path)
    {
        const DWORD attributes =
            GetFileAttributesW(QDir::toNativeSeparators(path).toStdWString().c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
               !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }

    // On the owner's thread.
    void tell(const std::vector<Notice> &notices)
    {
        for (const Notice &notice : notices) {
            const QString path = m_root + u'/' + notice.path;
            switch (notice.action) {
            case FILE_ACTION_ADDED:
                if (isFolder(path)) {
                    emit folderAdded(path);
                } else {
                    emit fileChanged(path, Change::Created);
                    awaitClose(path);
                }
                break;
            case FILE_ACTION_MODIFIED:
                if (!isFolder(path)) {
                    emit fileChanged(path, Change::Written);
                    awaitClose(path);
                }
                break;
            case FILE_ACTION_REMOVED:
                m_open.remove(path);
                // A file or a folder: what was below it went too.
                emit folderRemoved(path);
                break;
            case FILE_ACTION_RENAMED_OLD_NAME:
                m_renamedFrom = path;
                break;
            case FILE_ACTION_RENAMED_NEW_NAME:
                if (m_renamedFrom.isEmpty()) {
                    emit fileChanged(path, Change::MovedIn);
                } else {
                    if (m_open.remove(m_renamedFrom))
                        awaitClose(path);
                    emit moved(std::exchange(m_renamedFrom, QString()), path);
                }
                break;
            default:
                break;
            }
        }
    }

    void awaitClose(const QString &path)
    {
        m_open.insert(path);
        if (!m_openCheck.isActive())
            m_openCheck.start();
    }

    void checkOpenFiles()
    {
        for (auto it = m_open.begin(); it != m_open.end();) {
            const HANDLE file = CreateFileW(QDir::toNativeSeparators(*it).toStdWString().c_str(),
                                            GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) {
                ++it; // a writer still has it
                continue;
            }
            const QString path = *it;
            it = m_open.erase(it);
            if (file != INVALID_HANDLE_VALUE) {
                CloseHandle(file);
                emit fileChanged(path, Change::Closed);
            }
        }
        if (m_open.isEmpty())
            m_openCheck.stop();
    }

    QString m_root;
    HANDLE m_dir = INVALID_HANDLE_VALUE;
    HANDLE m_stopEvent = nullptr;
    std::thread m_thread;
    QSet<QString> m_open; // written to, not yet closed
    QString m_renamedFrom;
    QTimer m_openCheck;
};

} // namespace

std::unique_ptr<FolderWatcher> makeFolderWatcher()
{
    return std::make_unique<WindowsFolderWatcher>();
}
