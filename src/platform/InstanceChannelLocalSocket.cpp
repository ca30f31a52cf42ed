#include "InstanceChannel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

// The request: one UTF-8 path a line, then an empty line. The answer comes
// at once, before the paths are added (a large folder takes a while): "ok N",
// N the number of rows of the list before.

InstanceChannel::InstanceChannel(QObject *parent) : QObject(parent) {}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::socketPath()
{
    // XDG_RUNTIME_DIR belongs to the user alone; without one, a folder of
    // our own in the temporary folder, closed to others.
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
        dir = QDir::tempPath() + QStringLiteral("/marrowlake-%1").arg(getuid());
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return dir + QStringLiteral("/marrowlake.socket");
}

bool InstanceChannel::handOver(const QStringList &paths, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray request;
    for (const QString &path : paths)
        request += path.toUtf8() + '\n';
    socket.write(request + '\n');
    QByteArray reply;
    while (!reply.contains('\n')) {
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0 || !socket.waitForReadyRead(left))
            return false;
        reply += socket.readAll();
    }
    return reply.startsWith("ok ");
}

bool InstanceChannel::listen(Receiver receiver, RowCount rows)
{
    m_receiver = std::move(receiver);
    m_rows = std::move(rows);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = socketPath();
    // Nobody answered there: what is left is a dead program's socket.
    QLocalServer::removeServer(path);
    if (!m_server->listen(path))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::answer);
    return true;
}

void InstanceChannel::answer()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket, buffer] {
            *buffer += socket->readAll();
            if (!buffer->endsWith("\n\n") && *buffer != "\n")
                return;
            QStringList paths;
            for (const QByteArray &line : buffer->split('\n'))
                if (!line.isEmpty())
                    paths << QString::fromUtf8(line);
            buffer->clear();
            socket->write("ok " + QByteArray::number(m_rows ? m_rows() : 0) + '\n');
            socket->flush();
            if (m_receiver && !paths.isEmpty())
                m_receiver(paths);
        });
    }
}
