#include "PrintLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

PrintLog::PrintLog(QString file, qint64 limitBytes) : m_file(std::move(file)), m_limit(limitBytes)
{
}

bool PrintLog::append(const Entry &entry, QString *why)
{
    QJsonObject record{{"time", QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
                       {"path", entry.path},
                       {"printer", entry.printer},
                       {"pause", entry.pause},
                       {"result", entry.failure.isEmpty() ? QStringLiteral("printed")
                                                          : QStringLiteral("not printed")}};
    if (!entry.failure.isEmpty())
        record.insert("reason", entry.failure);
    if (entry.jobId)
        record.insert("job", *entry.jobId);
    const QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    // One old file is kept; the rotation happens between two lines.
    if (QFileInfo(m_file).size() + line.size() > m_limit && QFileInfo::exists(m_file)) {
        QFile::remove(m_file + QStringLiteral(".1"));
        QFile::rename(m_file, m_file + QStringLiteral(".1"));
    }
    QFile file(m_file);
    const bool written =
        file.open(QIODevice::Append) && file.write(line) == line.size() && file.flush();
    if (!written && why)
        *why = file.errorString();
    return written;
}
