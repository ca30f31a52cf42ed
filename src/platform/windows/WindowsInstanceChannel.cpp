// One window per user is not there on Windows yet (Qt's local sockets are
// not in the Qt this program is built with there): every start opens a
// window of its own, as a start without paths does everywhere.

#include "InstanceChannel.h"

InstanceChannel::InstanceChannel(QObject *parent) : QObject(parent) {}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::socketPath()
{
    return {};
}

bool InstanceChannel::handOver(const QStringList &, int)
{
    return false;
}

bool InstanceChannel::listen(Receiver receiver, RowCount rows)
{
    m_receiver = std::move(receiver);
    m_rows = std::move(rows);
    return false;
}

void InstanceChannel::answer() {}
