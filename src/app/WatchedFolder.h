#pragma once

#include "FolderWatcher.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <optional>

// A folder whose arriving documents are handed out, each once, in the order
// they arrive whole. A document has arrived once it has stopped changing: its
// writer has closed it (or it was moved in) and its size and time have held
// for a moment. What was handed out is remembered in a state file, so that a
// later watch of the folder hands out nothing twice and whatever arrived
// while nobody watched.
class WatchedFolder : public QObject
{
    Q_OBJECT

public:
    WatchedFolder(FolderWatcher &watcher, QString folder, QString stateFile,
                  QObject *parent = nullptr);

    // Starts watching. The first watch of a folder leaves the documents
    // already there alone. False when the folder cannot be watched.
    [[nodiscard]] bool start();
    // The next document that has arrived, or an empty text.
    [[nodiscard]] QString takeArrived();
    // Remembers a handed-out document as done with (printed or reported).
    void markDone(const QString &path);

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
    // Moves a document into the folder (made if need be), under a name of
    // its own there ("NAME (2).EXT" when NAME.EXT is taken), across file
    // systems too: copied, flushed to the disk, then removed. With a
    // reason, NAME.txt beside it says it. Returns the failure, if any; the
    // document is then where it was.
    [[nodiscard]] static std::optional<QString> moveInto(const QString &path, const QString &folder,
                                                         const QString &reason = {});

signals:
    // takeArrived has a document to give.
    void arrived();
    // Something the person running the watch must know (the folder went
    // away, the state cannot be kept), as a sentence.
    void problem(const QString &text);

private:
    struct Stamp
    {
        qint64 size = -1;
        qint64 modified = 0;
        bool operator==(const Stamp &other) const = default;
    };
    // A document done with: as it was then, and its content's digest (empty
    // for one recorded by an older version).
    struct Done
    {
        Stamp stamp;
        QByteArray digest;
    };
    struct Candidate
    {
        Stamp stamp;
        bool writerDone = false;
        QElapsedTimer quiet; // since it last changed
        qint64 order = 0;    // when it was first seen
        int settleMs = 0;    // how long it must stay unchanged
    };

    void fileChanged(const QString &path, FolderWatcher::Change change);
    void addTree(const QString &folder, bool writerDone);
    // settleMs: how long it must then stay unchanged to count as arrived.
    void consider(const QString &path, bool writerDone, int settleMs);
    void settle();
    void rescan();
    void folderGone();
    void retryWatch();
    // Reads what was done; false when the state cannot be read (it is then
    // kept aside and said).
    bool loadState();
    // Writes the whole state anew: what is still in the folder.
    void saveState();
    // Adds one line to the state (a document done with, or gone), and
    // writes it anew once most of its lines are out of date.
    void appendState(const QJsonObject &record);
    void forget(const QString &path);
    void stateWritten(bool written, const QString &why);
    bool keepStateAside();
    [[nodiscard]] static Stamp stampOf(const QString &path);
    [[nodiscard]] static QByteArray digestOf(const QString &path);

    FolderWatcher &m_watcher;
    QString m_folder;
    QString m_stateFile;
    QHash<QString, Done> m_done;
    // Documents that left the tree lately, by digest: one that turns up
    // again elsewhere in the tree was moved, not sent anew.
    QHash<QByteArray, QElapsedTimer> m_left;
    qsizetype m_stateLines = 0;
    QHash<QString, Candidate> m_candidates;
    QStringList m_arrived;
    qint64 m_seen = 0;
    QTimer m_settle; // runs only while candidates wait
    QTimer m_retry;  // runs only while the folder is gone
    bool m_saveFailed = false;
    QSet<QString> m_linksSaid;
    QStringList m_leftOut; // each ending in "/"
};
