#include "DropFolder.h"

#include "FileNames.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

// Links on Windows are reparse points (symbolic links and junctions): every
// folder and file of the tree is opened with FILE_FLAG_OPEN_REPARSE_POINT,
// so that the link itself is opened, seen and refused, never its target.
// The folders on the way to a file are held open without FILE_SHARE_DELETE
// while it is read or moved: none of them can be renamed or replaced
// meanwhile, so the path names what was checked.

namespace {

constexpr DWORD CopyChunk = 1 << 20;

class Handle
{
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    ~Handle()
    {
        if (valid())
            CloseHandle(m_handle);
    }
    Handle(Handle &&other) noexcept : m_handle(std::exchange(other.m_handle, INVALID_HANDLE_VALUE))
    {
    }
    Handle &operator=(Handle &&other) noexcept
    {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    [[nodiscard]] bool valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle; }
    [[nodiscard]] HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

std::wstring wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

Handle openNoFollow(const QString &path, DWORD access, DWORD share, DWORD flags = 0)
{
    return Handle(CreateFileW(wide(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT | flags,
                              nullptr));
}

qint64 msSinceEpoch(const FILETIME &time)
{
    const qint64 ticks = (qint64(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return ticks / 10000 - 11644473600000LL; // 100 ns since 1601
}

DroppedFile factsOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info))
        return {};
    DroppedFile file;
    file.exists = true;
    const bool reparse = info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
    const bool folder = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    file.isFolder = folder && !reparse;
    file.isFile = !folder && !reparse;
    file.isLink = reparse;
    file.size = (qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    file.modifiedMs = msSinceEpoch(info.ftLastWriteTime);
    file.device = info.dwVolumeSerialNumber;
    file.inode = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    file.links = info.nNumberOfLinks;
    return file;
}

// Holds the root and every folder below it on the way to path (inside the
// root), each a plain folder and no link; false when one is not.
bool holdFolders(const QString &root, const QString &path, std::vector<Handle> &held)
{
    const QString base = root.endsWith(u'/') ? root : root + u'/';
    if (path != root && !path.startsWith(base))
        return false;
    held.push_back(Handle(CreateFileW(wide(root).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
    if (!held.back().valid())
        return false;
    if (path == root)
        return true;
    const QStringList parts = path.mid(base.size()).split(u'/');
    QString folder = root;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i].isEmpty() || parts[i] == u"." || parts[i] == u"..")
            return false;
        folder += u'/' + parts[i];
        held.push_back(
            openNoFollow(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE));
        if (!held.back().valid() || !factsOf(held.back().get()).isFolder)
            return false;
    }
    return !parts.last().isEmpty();
}

// The file itself, opened for reading only if it is a plain file.
Handle openDropped(const QString &root, const QString &path, std::vector<Handle> &held,
                   DroppedFile *facts)
{
    if (!holdFolders(root, path, held))
        return Handle();
    Handle file = openNoFollow(path, GENERIC_READ, FILE_SHARE_READ, FILE_FLAG_SEQUENTIAL_SCAN);
    if (!file.valid())
        return Handle();
    *facts = factsOf(file.get());
    return facts->isFile ? std::move(file) : Handle();
}

bool writeAll(HANDLE out, const char *data, DWORD size)
{
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(out, data, size, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

bool copyContent(HANDLE in, HANDLE out, QCryptographicHash *hash)
{
    std::vector<char> buffer(CopyChunk);
    while (true) {
        DWORD got = 0;
        if (!ReadFile(in, buffer.data(), CopyChunk, &got, nullptr))
            return false;
        if (got == 0)
            return true;
        if (hash)
            hash->addData(QByteArrayView(buffer.data(), got));
        if (!writeAll(out, buffer.data(), got))
            return false;
    }
}

QString systemError(DWORD error)
{
    wchar_t *text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    const QString said =
        text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("error %1").arg(error);
    LocalFree(text);
    return said;
}

// The user the station runs as.
std::vector<BYTE> currentUser()
{
    HANDLE token = nullptr;
    std::vector<BYTE> user;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return user;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    user.resize(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size))
        user.clear();
    CloseHandle(token);
    return user;
}

PSID sidOf(std::vector<BYTE> &user)
{
    return user.empty() ? nullptr : reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid;
}

bool isWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    BYTE buffer[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof buffer;
    return CreateWellKnownSid(type, nullptr, buffer, &size) && EqualSid(sid, buffer);
}

// Whether someone besides the user, the system and the administrators may
// add, remove or change files in the folder.
bool othersMayWrite(PACL dacl, PSID user)
{
    if (!dacl)
        return true; // no list at all: everyone may
    constexpr DWORD Writing = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD |
                              FILE_WRITE_DATA | GENERIC_WRITE | GENERIC_ALL | WRITE_DAC |
                              WRITE_OWNER | DELETE;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER *header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void **>(&header)) ||
            header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        const auto *ace = reinterpret_cast<ACCESS_ALLOWED_ACE *>(header);
        PSID sid = const_cast<DWORD *>(&ace->SidStart);
        if (!(ace->Mask & Writing) || EqualSid(sid, user) || isWellKnown(sid, WinLocalSystemSid) ||
            isWellKnown(sid, WinBuiltinAdministratorsSid) || isWellKnown(sid, WinCreatorOwnerSid))
            continue;
        return true;
    }
    return false;
}

} // namespace

DropTree::DropTree(QString root) : m_root(std::move(root)) {}

DropTree::~DropTree() = default;

DroppedFile DropTree::status(const QString &path) const
{
    std::vector<Handle> held;
    if (!holdFolders(m_root, path, held))
        return {};
    const Handle file = openNoFollow(path, FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    return file.valid() ? factsOf(file.get()) : DroppedFile();
}

void DropTree::walk(
    const QString &folder, const QStringList &leftOut,
    const std::function<void(const QString &path, const DroppedFile &file)> &found) const
{
    std::vector<Handle> held;
    if (!holdFolders(m_root, folder == m_root ? folder : folder + QStringLiteral("/x"), held))
        return;
    std::function<void(const QString &, bool)> walkAt = [&](const QString &dirPath, bool top) {
        // A subfolder is held while it is listed and its own folders
        // entered: it stays the folder that was checked.
        Handle self;
        if (!top) {
            self = openNoFollow(dirPath, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
            if (!self.valid() || !factsOf(self.get()).isFolder)
                return;
        }
        WIN32_FIND_DATAW data{};
        const HANDLE find =
            FindFirstFileExW(wide(dirPath + QStringLiteral("/*")).c_str(), FindExInfoBasic, &data,
                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (find == INVALID_HANDLE_VALUE)
            return;
        std::vector<std::pair<QString, DWORD>> entries;
        do {
            const QString name = QString::fromWCharArray(data.cFileName);
            if (!name.startsWith(u'.'))
                entries.emplace_back(name, data.dwFileAttributes);
        } while (FindNextFileW(find, &data));
        FindClose(find);
        std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) {
            return a.first.toUpper() < b.first.toUpper();
        });
        for (const auto &[name, attributes] : entries) {
            const QString path = dirPath + u'/' + name;
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                const QString inner = path + u'/';
                if (std::none_of(leftOut.begin(), leftOut.end(),
                                 [&inner](const QString &out) { return inner.startsWith(out); }))
                    walkAt(path, false);
                continue;
            }
            const Handle file = openNoFollow(
                path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
            DroppedFile facts = file.valid() ? factsOf(file.get()) : DroppedFile();
            if (!facts.exists && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                facts.exists = facts.isLink = true;
            if (facts.exists && !facts.isFolder)
                found(path, facts);
        }
    };
    walkAt(folder, true);
}

QByteArray DropTree::digest(const QString &path) const
{
    std::vector<Handle> held;
    DroppedFile facts;
    const Handle file = openDropped(m_root, path, held, &facts);
    if (!file.valid())
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha1);
    std::vector<char> buffer(CopyChunk);
    while (true) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer.data(), CopyChunk, &got, nullptr))
            return {};
        if (got == 0)
            return hash.result().toHex();
        hash.addData(QByteArrayView(buffer.data(), got));
    }
}

DroppedCopy DropTree::copyTo(const QString &path, const QString &target) const
{
    DroppedCopy copy;
    std::vector<Handle> held;
    const Handle file = openDropped(m_root, path, held, &copy.file);
    if (!file.valid()) {
        copy.file = status(path);
        copy.problem = copy.file.isLink ? QStringLiteral("it is a link or no plain file")
                                        : QStringLiteral("it cannot be read");
        return copy;
    }
    const Handle out(CreateFileW(wide(target).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!out.valid() || !copyContent(file.get(), out.get(), &hash)) {
        const DWORD error = GetLastError();
        copy.noSpace = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
        copy.problem = QStringLiteral("it could not be copied to %1 (%2)")
                           .arg(QDir::toNativeSeparators(target), systemError(error));
        if (out.valid())
            DeleteFileW(wide(target).c_str());
        return copy;
    }
    if (!factsOf(file.get()).sameAs(copy.file)) {
        DeleteFileW(wide(target).c_str());
        copy.problem = QStringLiteral("it changed while it was read");
        return copy;
    }
    copy.digest = hash.result().toHex();
    return copy;
}

StationFolder::StationFolder(QString path) : m_path(std::move(path))
{
    std::vector<BYTE> user = currentUser();
    PSID me = sidOf(user);
    // Made for the station alone: the user, the system and the
    // administrators, nothing inherited.
    LPWSTR sidText = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (me && ConvertSidToStringSidW(me, &sidText)) {
        const std::wstring sddl =
            L"D:P(A;OICI;FA;;;" + std::wstring(sidText) + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                             &descriptor, nullptr);
        LocalFree(sidText);
    }
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
    if (!CreateDirectoryW(wide(m_path).c_str(), descriptor ? &attributes : nullptr) &&
        GetLastError() == ERROR_PATH_NOT_FOUND && makeNamedFolder(QFileInfo(m_path).absolutePath()))
        CreateDirectoryW(wide(m_path).c_str(), descriptor ? &attributes : nullptr);
    LocalFree(descriptor);
    // Held without FILE_SHARE_DELETE while the station runs: nobody can
    // rename it away or put another folder in its place.
    HANDLE handle = CreateFileW(wide(m_path).c_str(), FILE_LIST_DIRECTORY | READ_CONTROL,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_problem = QStringLiteral("the folder %1 cannot be made or opened (%2)")
                        .arg(QDir::toNativeSeparators(m_path), systemError(GetLastError()));
        return;
    }
    m_handle = handle;
    if (!factsOf(handle).isFolder) {
        m_problem = QStringLiteral("the folder %1 is a link; documents are moved only into a "
                                   "folder of the station's own")
                        .arg(QDir::toNativeSeparators(m_path));
        return;
    }
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR security = nullptr;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &dacl, nullptr, &security) != ERROR_SUCCESS) {
        m_problem = QStringLiteral("who may write to the folder %1 cannot be read")
                        .arg(QDir::toNativeSeparators(m_path));
        return;
    }
    if (!me || !owner || (!EqualSid(owner, me) && !isWellKnown(owner, WinBuiltinAdministratorsSid)))
        m_problem = QStringLiteral("the folder %1 belongs to another user; documents are moved "
                                   "only into a folder of the station's own")
                        .arg(QDir::toNativeSeparators(m_path));
    else if (othersMayWrite(dacl, me))
        m_problem = QStringLiteral("the folder %1 can be written to by other users; documents "
                                   "are moved only into a folder nobody else writes to")
                        .arg(QDir::toNativeSeparators(m_path));
    LocalFree(security);
}

StationFolder::~StationFolder()
{
    if (m_handle)
        CloseHandle(m_handle);
}

std::optional<QString> StationFolder::moveIn(const DropTree &tree, const QString &path,
                                             const DroppedFile &expected, const QString &reason)
{
    const QString failed =
        QStringLiteral("%1 could not be moved to %2")
            .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(m_path));
    if (!m_handle)
        return failed;
    std::vector<Handle> held;
    if (!holdFolders(tree.root(), path, held) || !tree.status(path).sameAs(expected))
        return failed + QStringLiteral(" (it is no longer the document that was printed)");
    const QFileInfo source(path);
    const QString base = source.completeBaseName(), suffix = source.suffix();
    QString target;
    for (int n = 1; n < 1000; ++n) {
        target = m_path + u'/' +
                 (n == 1 ? source.fileName()
                         : QStringLiteral("%1 (%2)%3")
                               .arg(base)
                               .arg(n)
                               .arg(suffix.isEmpty() ? QString() : u'.' + suffix));
        if (!reason.isEmpty() &&
            GetFileAttributesW(wide(target + QStringLiteral(".txt")).c_str()) !=
                INVALID_FILE_ATTRIBUTES)
            continue;
        // Never over a name that is there: without MOVEFILE_REPLACE_EXISTING
        // the system refuses it. Across volumes the content is copied to a
        // file made new, and the document removed only once it is there.
        if (MoveFileExW(wide(path).c_str(), wide(target).c_str(), MOVEFILE_WRITE_THROUGH))
            break;
        const DWORD error = GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
            continue;
        if (error != ERROR_NOT_SAME_DEVICE)
            return failed + QStringLiteral(" (%1)").arg(systemError(error));
        DroppedFile facts;
        std::vector<Handle> again;
        const Handle in = openDropped(tree.root(), path, again, &facts);
        if (!in.valid() || !facts.sameAs(expected))
            return failed + QStringLiteral(" (it is no longer the document that was printed)");
        Handle out(CreateFileW(wide(target).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!out.valid() && GetLastError() == ERROR_FILE_EXISTS)
            continue;
        bool ok =
            out.valid() && copyContent(in.get(), out.get(), nullptr) && FlushFileBuffers(out.get());
        const DWORD copyError = GetLastError();
        out = Handle();
        ok = ok && DeleteFileW(wide(path).c_str());
        if (!ok) {
            DeleteFileW(wide(target).c_str()); // ours, made above
            return failed + QStringLiteral(" (%1)").arg(systemError(copyError));
        }
        break;
    }
    if (!reason.isEmpty()) {
        const Handle why(
            CreateFileW(wide(target + QStringLiteral(".txt")).c_str(), GENERIC_WRITE, 0, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        const QByteArray text = reason.toUtf8() + "\r\n";
        if (!why.valid() || !writeAll(why.get(), text.constData(), DWORD(text.size())))
            return QStringLiteral("why %1 was not printed could not be written to %2")
                .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(m_path));
    }
    return std::nullopt;
}
