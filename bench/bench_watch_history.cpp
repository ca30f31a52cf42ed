// What a watched folder costs per document: the record as its history grows
// (the time to take a document as done: the file's facts, its digest and
// one line of the record) with no other document in the folder and with
// 100,000 others done with before; and the private copy each document is
// printed from. Prints figures, asserts nothing.

#include "DropFolder.h"
#include "FolderWatcher.h"
#include "WatchedFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void makeFile(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("PK\x03\x04 a small document, " + path.toUtf8());
}

// Microseconds per document for `count` documents taken as done in a
// folder that already holds `history` documents done with.
double costPerDocument(int history, int count)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("in");
    for (int d = 0; d * 1000 < history; ++d) {
        QDir().mkpath(QStringLiteral("%1/old%2").arg(folder).arg(d));
        for (int f = 0; f < 1000 && d * 1000 + f < history; ++f)
            makeFile(QStringLiteral("%1/old%2/document%3.docx").arg(folder).arg(d).arg(f));
    }
    QDir().mkpath(folder);
    const auto watcher = makeFolderWatcher();
    WatchedFolder watched(*watcher, folder, dir.filePath("state.jsonl"));
    if (!watched.start()) // a first watch: the history is taken as done
        return -1;
    QStringList fresh;
    for (int i = 0; i < count; ++i) {
        fresh << QStringLiteral("%1/new%2.docx").arg(folder).arg(i);
        makeFile(fresh.last());
    }
    QElapsedTimer clock;
    clock.start();
    for (const QString &path : std::as_const(fresh))
        watched.markDone({path, {}, watched.tree().status(path), watched.tree().digest(path), {}});
    return double(clock.nsecsElapsed()) / 1000.0 / count;
}

// Microseconds per document for the private copy of a document of `size`
// bytes, taken through its checked descriptor.
double copyCost(qint64 size, int count)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("in"), spool = dir.filePath("spool");
    QDir().mkpath(folder);
    QDir().mkpath(spool);
    {
        QFile file(folder + QStringLiteral("/document.docx"));
        if (!file.open(QIODevice::WriteOnly))
            return -1;
        file.write(QByteArray(size, 'x'));
    }
    const DropTree tree(folder);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) {
        const QString copy = spool + QStringLiteral("/%1.docx").arg(i);
        if (!tree.copyTo(folder + QStringLiteral("/document.docx"), copy).problem.isEmpty())
            return -1;
        QFile::remove(copy);
    }
    return double(clock.nsecsElapsed()) / 1000.0 / count;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("Watched folder, cost of taking a document as done:\n");
    const double empty = costPerDocument(0, 2000);
    const double full = costPerDocument(100000, 2000);
    std::printf("  no history: %.1f us per document; 100,000 documents of history: %.1f us "
                "(ratio %.2f, target: near 1)\n",
                empty, full, full / empty);
    std::printf("Watched folder, the private copy of each document (write and remove):\n");
    std::printf("  20 KB: %.1f us per document; 2 MB: %.1f us per document\n",
                copyCost(20 * 1024, 2000), copyCost(2 * 1024 * 1024, 200));
    return 0;
}
