// Where the one-window channel listens on Linux: a socket file in a folder of
// the user's alone.

#include "InstanceChannel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder of ours that nobody else can enter: made if missing, and checked
// as it is (another user may have made it first, or put a link there).
bool isPrivateFolder(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    ::mkdir(name.constData(), 0700);
    struct stat info
    {
    };
    return ::lstat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == getuid() && (info.st_mode & 0777) == 0700;
}

} // namespace

QString InstanceChannel::socketPath()
{
    // XDG_RUNTIME_DIR belongs to the user alone; without one, a folder of
    // our own in the temporary folder.
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
        dir = QDir::tempPath() + QStringLiteral("/marrowlake-%1").arg(getuid());
        if (!isPrivateFolder(dir))
            return {};
    }
    return dir + QStringLiteral("/marrowlake.socket");
}

QString InstanceChannel::lockPath()
{
    const QString socket = socketPath();
    return socket.isEmpty() ? QString() : socket + QStringLiteral(".lock");
}

bool InstanceChannel::answeredByThisUser(qintptr socketDescriptor)
{
    struct ucred peer
    {
    };
    socklen_t length = sizeof peer;
    return ::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
           peer.uid == getuid();
}
