#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// A record of what was printed: one JSON object a line, appended, so that a
// record can be read back line by line and survives a program that stops
// half-way. Past its size limit the file is kept as FILE.1 (one old file)
// and a new one begun.
class PrintLog
{
public:
    struct Entry
    {
        QString path;
        QString printer;
        int pause = 0;
        // Empty when the document printed: the report's text otherwise.
        QString failure;
        std::optional<int> jobId; // the scheduler's, when known
        int copies = 1;
        QString pages; // empty: all
        // Printed, but something went wrong after the job was sent (Word
        // did not quit): said, never counted as a failure.
        QString warning;
    };

    explicit PrintLog(QString file, qint64 limitBytes = 10 * 1024 * 1024);

    // Appends the entry with the time; false (and why) when it cannot.
    [[nodiscard]] bool append(const Entry &entry, QString *why = nullptr);
    [[nodiscard]] QString file() const { return m_file; }

    // The last count entries of the record in file (the old file's first
    // when the new one holds fewer), oldest first; lines that are not
    // entries are passed over.
    [[nodiscard]] static QList<QJsonObject> lastEntries(const QString &file, int count);
    // An entry as a line a person reads: local time, result, printer, the
    // path as one line, copies and pages when given, the reason of a failure.
    [[nodiscard]] static QString readableLine(const QJsonObject &entry);

private:
    QString m_file;
    qint64 m_limit;
};
