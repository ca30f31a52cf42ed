#pragma once

#include "DropFolder.h"
#include "FolderWatcher.h"
#include "StationRecord.h"
#include "StationSpool.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

// A folder that other people drop documents into, each drop handed out
// once, in the order the drops arrive whole. A drop is a file made in the
// folder, moved into it from outside, or written anew with another
// content; a rename or move inside the folder is the same drop. A document
// has arrived once its writer has closed it (or it was moved or linked in)
// and it has held still for a moment. Everything in the folder is a
// stranger's: it is reached without following links, and what is printed is
// a private copy taken from the file that was checked.
class WatchedFolder : public QObject
{
    Q_OBJECT

public:
    // A document taken for printing: its private copy and the facts of the
    // file the copy was taken from.
    struct Taken
    {
        QString path; // the dropped document
        QString copy; // empty when there is nothing to print now
        DroppedFile file;
        QByteArray digest;
        // No copy for want of space or a spool: the station's fault, not the
        // document's; the document stays queued.
        QString stationProblem;
    };

    WatchedFolder(FolderWatcher &watcher, QString folder, QString stateFile,
                  QObject *parent = nullptr);
    ~WatchedFolder() override;

    // One station a folder: false, with the sentence, when another watches it.
    [[nodiscard]] bool claim(QString *why);
    // Starts watching. The first watch of a folder leaves the documents
    // already there alone. False when the folder cannot be watched.
    [[nodiscard]] bool start();
    // The next document that has arrived, or an empty text.
    [[nodiscard]] QString takeArrived();
    // Copies an arrived document into the station's private spool. A
    // document changed or replaced since it arrived is not taken (a link
    // never; another content waits to arrive again).
    [[nodiscard]] Taken take(const QString &path);
    // The copy is not needed any more.
    void release(const Taken &taken);
    // Where a taken document is now (moved inside the folder meanwhile).
    [[nodiscard]] QString currentPath(const QString &path) const;
    // Remembers a taken document as done with (printed or reported).
    void markDone(const Taken &taken);
    // The document left the folder through the station (moved aside).
    void movedAway(const QString &path);

    [[nodiscard]] const DropTree &tree() const { return m_tree; }
    // How many documents are still settling (not yet arrived or let be).
    [[nodiscard]] qsizetype settling() const { return m_candidates.size(); }
    // Called before a document is copied: tests change the folder there.
    void setBeforeTake(std::function<void(const QString &path)> hook)
    {
        m_beforeTake = std::move(hook);
    }

    // Whether a file name is one the watch takes: one of the document types
    // the program registers for (.doc, .docx, .docm, .dot, .dotx, .dotm,
    // .rtf, .odt, in any case), no "~" at the start, and not hidden (office
    // lock files, uploads still under a temporary name).
    [[nodiscard]] static bool takesName(const QString &name);
    // Where the state of a watch of that folder is kept.
    [[nodiscard]] static QString stateFileFor(const QString &folder);
    // Folders inside the watched one whose files are not the watch's (where
    // printed and failed documents are moved).
    void leaveOut(const QStringList &folders);

signals:
    // takeArrived has a document to give.
    void arrived();
    // Something the person running the watch must know (the folder went
    // away, the state cannot be kept), as a sentence.
    void problem(const QString &text);

private:
    struct Candidate
    {
        DroppedFile file;
        bool writerDone = false;
        bool fresh = false;  // a new drop, whatever it holds
        QElapsedTimer quiet; // since it last changed
        qint64 order = 0;    // when it was first seen
        int settleMs = 0;    // how long it must stay unchanged
    };

    void fileChanged(const QString &path, FolderWatcher::Change change);
    void moved(const QString &from, const QString &to);
    void removed(const QString &path, bool folder);
    void addTree(const QString &folder, bool fresh);
    void consider(const QString &path, bool writerDone, bool fresh, int settleMs);
    // Whether a document found again is one done with (seen as it is, or
    // renamed while nobody watched): then the record is brought up to date.
    [[nodiscard]] bool knownAlready(const QString &path, const DroppedFile &file);
    // Whether a new file is one that just left another place in the tree.
    [[nodiscard]] bool movedFromElsewhere(const QString &path, const DroppedFile &file);
    void settle();
    void rescan();
    void folderGone();
    void retryWatch();
    [[nodiscard]] bool isLeftOut(const QString &path) const;
    void linkSeen(const QString &path);

    FolderWatcher &m_watcher;
    QString m_folder;
    DropTree m_tree;
    StationRecord m_record;
    QHash<QString, Candidate> m_candidates;
    QStringList m_arrived;
    // Arrived and not done with yet (waiting, held or printing): the facts
    // they arrived with.
    QHash<QString, DroppedFile> m_queued;
    QHash<QString, QString> m_renamedQueued; // first path -> where it is now
    // Documents done with that lately left the tree as the watcher told:
    // one that turns up elsewhere as the same file (where a system tells a
    // move between folders as a removal and an arrival) was moved.
    struct Left
    {
        QString path;
        StationRecord::Document document;
        QElapsedTimer since;
    };
    QList<Left> m_left;
    qint64 m_seen = 0;
    QTimer m_settle; // runs only while candidates wait
    QTimer m_retry;  // runs only while the folder is gone
    QSet<QString> m_linksSaid;
    QStringList m_leftOut; // each ending in "/"
    StationSpool m_spool;
    std::function<void(const QString &)> m_beforeTake;
};
