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
    // A program still starting up answers once its start-up yields.
    [[nodiscard]] static bool handOver(const QStringList &paths, int timeoutMs = 30000);
    // At the very start, before anything slow: starts made at the same
    // moment take turns (a lock of the user's), so exactly one of them
    // listens and the others hand their paths to it, in the order they got
    // their turn. True when the paths were handed over (the start ends
    // there); otherwise this start listens when it can, and the receiver
    // gets what later starts hand over.
    [[nodiscard]] bool startOrHandOver(const QStringList &paths, bool handOverPaths,
                                       Receiver receiver, RowCount rows);
    // Starts answering later starts; false when another program answers
    // already (its channel is left alone) or there is no safe place to
    // listen.
    bool listen(Receiver receiver, RowCount rows);

    // The socket's path, in a folder of the user's alone; empty when there
    // is no such folder.
    [[nodiscard]] static QString socketPath();
    // The lock the starts take turns with, in a folder of the user's alone.
    [[nodiscard]] static QString lockPath();

private:
    void answer();
    // Whether the program at the other end of a connected socket runs as
    // this user: nothing is handed to anyone else.
    [[nodiscard]] static bool answeredByThisUser(qintptr socketDescriptor);

    QLocalServer *m_server = nullptr;
    Receiver m_receiver;
    RowCount m_rows;
};
