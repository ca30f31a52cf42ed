#include "PrintLog.h"

#include "CommandLinePrint.h"

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
    if (entry.copies != 1)
        record.insert("copies", entry.copies);
    if (!entry.pages.isEmpty())
        record.insert("pages", entry.pages);
    if (!entry.warning.isEmpty())
        record.insert("warning", entry.warning);
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

namespace {

QList<QJsonObject> entriesOf(const QString &file)
{
    QList<QJsonObject> entries;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return entries;
    while (!in.atEnd()) {
        const QJsonDocument line = QJsonDocument::fromJson(in.readLine());
        if (line.isObject() && line.object().contains(QLatin1String("path")))
            entries << line.object();
    }
    return entries;
}

} // namespace

QList<QJsonObject> PrintLog::lastEntries(const QString &file, int count)
{
    QList<QJsonObject> entries = entriesOf(file);
    if (entries.size() < count)
        entries = entriesOf(file + QStringLiteral(".1")) + entries;
    return entries.mid(std::max<qsizetype>(0, entries.size() - count));
}

QString PrintLog::readableLine(const QJsonObject &entry)
{
    const QDateTime time =
        QDateTime::fromString(entry.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
    const QString result = entry.value(QLatin1String("result")).toString();
    QString line = time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                   QStringLiteral("  ") + result.leftJustified(11) + QStringLiteral("  ") +
                   entry.value(QLatin1String("printer")).toString() + QStringLiteral("  ") +
                   CommandLinePrint::lineSafe(entry.value(QLatin1String("path")).toString());
    QStringList details;
    if (const int copies = entry.value(QLatin1String("copies")).toInt(1); copies != 1)
        details << QStringLiteral("%1 copies").arg(copies);
    if (const QString pages = entry.value(QLatin1String("pages")).toString(); !pages.isEmpty())
        details << QStringLiteral("pages %1").arg(pages);
    if (!details.isEmpty())
        line += QStringLiteral(" (") + details.join(QStringLiteral(", ")) + u')';
    if (const QString reason = entry.value(QLatin1String("reason")).toString(); !reason.isEmpty())
        line += QStringLiteral(": ") + CommandLinePrint::lineSafe(reason);
    if (const QString warning = entry.value(QLatin1String("warning")).toString();
        !warning.isEmpty())
        line += QStringLiteral(": warning: ") + CommandLinePrint::lineSafe(warning);
    return line;
}
