// Where the one-window channel listens on Windows: a named pipe named for the
// user and the session. The pipe is made with access for the user alone, so
// a pipe of that name made by anyone else cannot be reached, and then the
// program runs without the channel.

#include "InstanceChannel.h"

#include <QCryptographicHash>
#include <QDir>

#include <windows.h>

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
