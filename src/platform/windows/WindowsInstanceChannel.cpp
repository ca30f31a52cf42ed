// Where the one-window channel listens on Windows: a named pipe named for the
// user and the session. The pipe is made with access for the user alone; the
// name is machine-wide and anyone can compute it, so a start hands nothing to
// a pipe whose server runs as another user (it opens its own window then).

#include "InstanceChannel.h"

#include <QCryptographicHash>
#include <QDir>

#include <windows.h>

#include <memory>

QString InstanceChannel::socketPath()
{
    wchar_t user[256];
    DWORD length = 256;
    if (!GetUserNameW(user, &length))
        return {};
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    const QByteArray key = QCryptographicHash::hash(QString::fromWCharArray(user).toUtf8() + '/' +
                                                        QByteArray::number(quint64(session)),
                                                    QCryptographicHash::Sha1);
    return QStringLiteral("marrowlake-") + QString::fromLatin1(key.toHex().left(24));
}

QString InstanceChannel::lockPath()
{
    // The temporary folder is the user's own on Windows.
    const QString name = socketPath();
    return name.isEmpty() ? QString() : QDir::temp().filePath(name + QStringLiteral(".lock"));
}

namespace {

// The user a process runs as, by its token; empty when it cannot be told.
std::unique_ptr<BYTE[]> userOf(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    auto user = std::make_unique<BYTE[]>(size ? size : 1);
    const bool read = size && GetTokenInformation(token, TokenUser, user.get(), size, &size);
    CloseHandle(token);
    return read ? std::move(user) : nullptr;
}

} // namespace

bool InstanceChannel::answeredByThisUser(qintptr socketDescriptor)
{
    ULONG pid = 0;
    if (!GetNamedPipeServerProcessId(reinterpret_cast<HANDLE>(socketDescriptor), &pid))
        return false;
    const HANDLE server = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!server)
        return false;
    const auto theirs = userOf(server);
    CloseHandle(server);
    const auto ours = userOf(GetCurrentProcess());
    return theirs && ours &&
           EqualSid(reinterpret_cast<TOKEN_USER *>(theirs.get())->User.Sid,
                    reinterpret_cast<TOKEN_USER *>(ours.get())->User.Sid);
}
