#include "InstanceChannel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <algorithm>
#include <optional>

// The request: each path in UTF-8 followed by a NUL byte, then one more NUL
// (paths hold no NUL, and an empty path is never sent). The answer comes at
// once: "ok N\n", N the number of rows of the list. The paths are added only
// when the starting program then confirms with "go\n": a start that gave up
// waiting has opened its own window, and the paths must not appear twice.

namespace {

constexpr qsizetype MaxRequest = 64 * 1024 * 1024;

} // namespace

InstanceChannel::InstanceChannel(QObject *parent) : QObject(parent) {}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::handOver(const QStringList &paths, int timeoutMs)
{
    const QString path = socketPath();
    if (path.isEmpty())
        return false;
    QElapsedTimer clock;
    clock.start();
    QLocalSocket socket;
    socket.connectToServer(path);
    // Connecting is immediate where a program listens; its answer may wait
    // for its start-up.
    if (!socket.waitForConnected(std::min(timeoutMs, 2000)))
        return false;
    if (!answeredByThisUser(socket.socketDescriptor()))
        return false;
    QByteArray request;
    for (const QString &p : paths)
        if (!p.isEmpty())
            request += p.toUtf8() + '\0';
    socket.write(request + '\0');
    QByteArray reply;
    while (!reply.contains('\n')) {
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0 || !socket.waitForReadyRead(left))
            return false;
        reply += socket.readAll();
    }
    if (!reply.startsWith("ok "))
        return false;
    socket.write("go\n");
    return socket.waitForBytesWritten(timeoutMs);
}

bool InstanceChannel::startOrHandOver(const QStringList &paths, bool handOverPaths,
                                      Receiver receiver, RowCount rows)
{
    // Held until this start listens or has handed its paths over; one that
    // crashed holding it leaves a stale lock that the next start breaks.
    const QString path = lockPath();
    QLockFile lock(path);
    if (!path.isEmpty())
        (void)lock.tryLock(60000);
    if (handOverPaths && handOver(paths))
        return true;
    listen(std::move(receiver), std::move(rows));
    return false;
}

bool InstanceChannel::listen(Receiver receiver, RowCount rows)
{
    m_receiver = std::move(receiver);
    m_rows = std::move(rows);
    const QString path = socketPath();
    if (path.isEmpty())
        return false;
    {
        // A program that answers keeps its channel, however busy it is.
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(1000))
            return false;
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
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
        auto paths = std::make_shared<std::optional<QStringList>>();
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket, buffer, paths] {
            *buffer += socket->readAll();
            if (buffer->size() > MaxRequest) {
                socket->abort();
                return;
            }
            if (!paths->has_value()) {
                const bool complete =
                    *buffer == QByteArray(1, '\0') || buffer->endsWith(QByteArray(2, '\0'));
                if (!complete)
                    return;
                QStringList received;
                for (const QByteArray &entry : buffer->split('\0'))
                    if (!entry.isEmpty())
                        received << QString::fromUtf8(entry);
                buffer->clear();
                *paths = received;
                socket->write("ok " + QByteArray::number(m_rows ? m_rows() : 0) + '\n');
                socket->flush();
                return;
            }
            if (*buffer != "go\n")
                return;
            const QStringList confirmed = **paths;
            socket->disconnectFromServer();
            if (m_receiver && !confirmed.isEmpty())
                m_receiver(confirmed);
        });
    }
}
