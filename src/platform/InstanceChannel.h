#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QLocalServer;

// One window per user: a running program listens on a local socket that only
// its user can reach; a second start hands its paths over instead of opening
// a window of its own.
class InstanceChannel : public QObject
{
    Q_OBJECT

public:
    // Adds the paths to the running window.
    using Receiver = std::function<void(const QStringList &paths)>;
    // The number of rows of the window's list.
    using RowCount = std::function<int()>;

    explicit InstanceChannel(QObject *parent = nullptr);
    ~InstanceChannel() override;

    // Hands the paths to a running program; false when none takes them
    // within the time limit, and then it never adds them later either.
    [[nodiscard]] static bool handOver(const QStringList &paths, int timeoutMs = 2000);
    // Starts answering later starts; false when another program answers
    // already (its channel is left alone) or there is no safe place to
    // listen.
    bool listen(Receiver receiver, RowCount rows);

    // The socket's path, in a folder of the user's alone; empty when there
    // is no such folder.
    [[nodiscard]] static QString socketPath();

private:
    void answer();

    QLocalServer *m_server = nullptr;
    Receiver m_receiver;
    RowCount m_rows;
};
