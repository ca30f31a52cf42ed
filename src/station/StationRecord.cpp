#include "StationRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace {

QJsonObject doneLine(const QString &path, const StationRecord::Document &document)
{
    return {{"done", path},
            {"size", double(document.file.size)},
            {"modified", double(document.file.modifiedMs)},
            {"device", QString::number(document.file.device)},
            {"inode", QString::number(document.file.inode)},
            {"digest", QString::fromLatin1(document.digest)}};
}

StationRecord::Document documentOf(const QJsonObject &line)
{
    StationRecord::Document document;
    document.file.exists = document.file.isFile = true;
    document.file.size = qint64(line.value("size").toDouble(-1));
    document.file.modifiedMs = qint64(line.value("modified").toDouble());
    document.file.device = line.value("device").toString().toULongLong();
    document.file.inode = line.value("inode").toString().toULongLong();
    document.digest = line.value("digest").toString().toLatin1();
    return document;
}

QString said(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool under(const QString &path, const QString &folder)
{
    return path.startsWith(folder) && path.size() > folder.size() && path[folder.size()] == u'/';
}

} // namespace

StationRecord::StationRecord(QString file, QString folder, Problem problem)
    : m_file(std::move(file)), m_folder(std::move(folder)), m_problem(std::move(problem))
{
}

StationRecord::~StationRecord() = default;

bool StationRecord::lock(QString *why)
{
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    m_lock = std::make_unique<QLockFile>(m_file + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0); // stale only when its process is gone
    if (m_lock->tryLock(0))
        return true;
    qint64 pid = 0;
    QString host, application;
    if (m_lock->error() == QLockFile::LockFailedError &&
        m_lock->getLockInfo(&pid, &host, &application))
        *why = QStringLiteral("%1 is watched already, by process %2; one station a folder")
                   .arg(said(m_folder))
                   .arg(pid);
    else
        *why = QStringLiteral("the record of %1 cannot be locked (%2)")
                   .arg(said(m_folder), m_lock->error() == QLockFile::PermissionError
                                            ? QStringLiteral("no permission")
                                            : QStringLiteral("an unknown error"));
    return false;
}

StationRecord::Loaded StationRecord::load()
{
    QFile file(m_file);
    if (!file.exists())
        return Loaded::None;
    if (!file.open(QIODevice::ReadOnly)) {
        keepAside();
        return Loaded::Unreadable;
    }
    const QByteArray content = file.readAll();
    file.close();
    QList<QJsonObject> lines;
    const QJsonDocument whole = QJsonDocument::fromJson(content);
    qsizetype bad = 0;
    if (whole.isObject() && whole.object().value("done").isArray()) {
        // An older version's one object with a "done" list.
        lines << QJsonObject{{"folder", m_folder}};
        for (const QJsonValue &entry : whole.object().value("done").toArray()) {
            QJsonObject line = entry.toObject();
            line.insert("done", line.value("path"));
            lines << line;
        }
    } else {
        for (const QByteArray &text : content.split('\n')) {
            if (text.trimmed().isEmpty())
                continue;
            const QJsonDocument line = QJsonDocument::fromJson(text);
            if (line.isObject())
                lines << line.object();
            else
                ++bad; // a line cut short or damaged costs that line only
        }
    }
    if (lines.isEmpty() || !lines.first().contains("folder")) {
        keepAside();
        return Loaded::Unreadable;
    }
    m_loading = true;
    for (const QJsonObject &line : std::as_const(lines)) {
        if (line.contains("gone")) {
            const QString gone = line.value("gone").toString();
            if (line.value("folder").toBool())
                goneUnder(gone);
            else
                m_documents.remove(gone);
        } else if (line.contains("moved")) {
            moved(line.value("moved").toString(), line.value("to").toString());
        } else if (line.contains("done")) {
            m_documents.insert(line.value("done").toString(), documentOf(line));
        }
    }
    m_loading = false;
    m_lines = lines.size() + bad;
    if (bad > 0)
        m_problem(QStringLiteral("%1 line(s) of the record %2 could not be read and were left "
                                 "out")
                      .arg(bad)
                      .arg(said(m_file)));
    return Loaded::Read;
}

void StationRecord::keepAside()
{
    const QString aside = m_file + QStringLiteral(".bad");
    QFile::remove(aside);
    const bool kept = QFile::rename(m_file, aside);
    m_problem(QStringLiteral("the record of what was printed from %1 cannot be read (%2); "
                             "documents there now are left alone")
                  .arg(said(m_folder), kept ? QStringLiteral("kept as ") + said(aside)
                                            : QStringLiteral("in ") + said(m_file)));
}

void StationRecord::done(const QString &path, const Document &document)
{
    m_documents.insert(path, document);
    append(doneLine(path, document));
}

void StationRecord::gone(const QString &path)
{
    if (m_documents.remove(path) > 0)
        append({{"gone", path}});
}

void StationRecord::goneUnder(const QString &folder)
{
    const auto before = m_documents.size();
    m_documents.removeIf([&folder](const auto &entry) { return under(entry.key(), folder); });
    if (m_documents.size() != before)
        append({{"gone", folder}, {"folder", true}});
}

void StationRecord::moved(const QString &from, const QString &to)
{
    QHash<QString, Document> renamed;
    for (auto it = m_documents.begin(); it != m_documents.end();) {
        if (it.key() == from || under(it.key(), from)) {
            renamed.insert(to + it.key().mid(from.size()), it.value());
            it = m_documents.erase(it);
        } else {
            ++it;
        }
    }
    if (renamed.isEmpty())
        return;
    m_documents.insert(renamed);
    append({{"moved", from}, {"to", to}});
}

void StationRecord::writeWhole()
{
    QByteArray content =
        QJsonDocument(QJsonObject{{"folder", m_folder}}).toJson(QJsonDocument::Compact) + '\n';
    for (auto it = m_documents.constBegin(); it != m_documents.constEnd(); ++it)
        content +=
            QJsonDocument(doneLine(it.key(), it.value())).toJson(QJsonDocument::Compact) + '\n';
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QSaveFile file(m_file);
    const bool saved =
        file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit();
    m_lines = m_documents.size() + 1;
    written(saved, file.errorString());
}

void StationRecord::append(const QJsonObject &line)
{
    if (m_loading)
        return;
    // Written anew once most of it is out of date: a document's cost stays
    // the same however long the station runs.
    if (m_lines > 2 * m_documents.size() + 64) {
        writeWhole();
        return;
    }
    const QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    QFile file(m_file);
    // A short write is a failed one.
    const bool ok = file.open(QIODevice::Append) && file.write(text) == text.size() && file.flush();
    ++m_lines;
    written(ok, file.errorString());
}

void StationRecord::written(bool ok, const QString &why)
{
    // Said at once, and once until it works again: a later watch would not
    // know what was printed.
    if (!ok && !m_failed)
        m_problem(QStringLiteral("the record of what was printed cannot be written to %1 (%2)")
                      .arg(said(m_file), why));
    m_failed = !ok;
}
