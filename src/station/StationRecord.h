#pragma once

#include "DropFolder.h"

#include <QHash>
#include <QJsonObject>
#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>

// What a station has printed from its folder, kept in a file of one JSON
// object a line: the folder first, then each document done with ("done",
// with the file's facts and digest), gone ("gone"), or renamed ("moved"),
// in order. Entries leave it only when their document is seen leaving the
// folder, so that an empty or unmounted folder at a start costs nothing.
class StationRecord
{
public:
    struct Document
    {
        DroppedFile file;
        QByteArray digest;
    };
    enum class Loaded
    {
        None,      // no record yet: a first watch
        Read,      // read (lines that could not be, left out and said)
        Unreadable // kept aside as FILE.bad and said: a first watch
    };
    using Problem = std::function<void(const QString &text)>;

    StationRecord(QString file, QString folder, Problem problem);
    ~StationRecord();

    // One station a folder: false, with the sentence, when another holds it.
    [[nodiscard]] bool lock(QString *why);
    [[nodiscard]] Loaded load();

    [[nodiscard]] const QHash<QString, Document> &documents() const { return m_documents; }
    void done(const QString &path, const Document &document);
    // Taken in without a line of its own: the whole record is written next.
    void adopt(const QString &path, const Document &document)
    {
        m_documents.insert(path, document);
    }
    void gone(const QString &path);
    // Everything in the folder went.
    void goneUnder(const QString &folder);
    // A document, or a folder with everything in it, renamed.
    void moved(const QString &from, const QString &to);
    // Writes the whole record anew.
    void writeWhole();

    [[nodiscard]] const QString &file() const { return m_file; }

private:
    void append(const QJsonObject &line);
    void written(bool ok, const QString &why);
    void keepAside();

    QString m_file;
    QString m_folder;
    Problem m_problem;
    std::unique_ptr<QLockFile> m_lock;
    QHash<QString, Document> m_documents;
    qsizetype m_lines = 0;
    bool m_failed = false;
    bool m_loading = false;
};
