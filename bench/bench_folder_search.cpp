// Prints figures, asserts nothing: the folder search over generated trees of
// 2,000 folders with 40,000 files and 20,000 folders with 400,000 files (a
// quarter of them documents), against `find TREE -type f -iname '*.do*'`; the
// longest time the window would go without handling its events; the peak
// memory with the rows appended.

#include "DocumentListView.h"
#include "FolderSearch.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

void makeTree(const QString &root, int folders, int filesPerFolder)
{
    QStringList queue{root};
    QStringList all{root};
    QDir().mkpath(root);
    while (all.size() < folders) {
        const QString parent = queue.takeFirst();
        for (int i = 0; i < 12 && all.size() < folders; ++i) {
            const QString child = parent + QString("/Folder %1").arg(i);
            QDir().mkpath(child);
            queue << child;
            all << child;
        }
    }
    const char *others[] = {"txt", "png", "xlsx"};
    int n = 0;
    for (const QString &folder : all)
        for (int i = 0; i < filesPerFolder; ++i, ++n) {
            const QString ext = n % 4 == 0 ? QString("docx") : QString(others[n % 3]);
            QFile f(folder + QString("/File %1.%2").arg(i).arg(ext));
            f.open(QIODevice::WriteOnly);
        }
}

double findSeconds(const QString &root)
{
    QElapsedTimer t;
    t.start();
    QProcess find;
    find.start("find", {root, "-type", "f", "-iname", "*.do*"});
    find.waitForFinished(-1);
    find.readAllStandardOutput();
    return double(t.nsecsElapsed()) / 1e9;
}

struct SearchFigures
{
    int rows = 0;
    double ours = 1e9;
    double find = 1e9;
    qint64 longestStallNs = 0;
};

// The best of a few rounds each, the cache warm for both.
SearchFigures measure(const QString &root, int rounds)
{
    SearchFigures f;
    for (int i = 0; i < rounds; ++i)
        f.find = std::min(f.find, findSeconds(root));
    for (int round = 0; round < rounds; ++round) {
        DocumentListView list(QString{});
        QElapsedTimer sinceYield;
        sinceYield.start();
        qint64 stall = 0;
        QElapsedTimer t;
        t.start();
        addFolderTree(
            root, "*.do*", true, [&](const QString &p) { list.append(p); },
            [&] {
                stall = std::max(stall, sinceYield.nsecsElapsed());
                QCoreApplication::processEvents();
                sinceYield.restart();
            });
        stall = std::max(stall, sinceYield.nsecsElapsed());
        f.ours = std::min(f.ours, double(t.nsecsElapsed()) / 1e9);
        f.longestStallNs = std::max(f.longestStallNs, stall);
        f.rows = list.count();
    }
    return f;
}

void report(const char *title, const SearchFigures &f)
{
    std::printf("Folder search over %s:\n", title);
    std::printf("  documents added:   %d\n", f.rows);
    std::printf("  ours:              %.3f s\n", f.ours);
    std::printf("  find -iname:       %.3f s\n", f.find);
    std::printf("  ratio:             %.2f (target: at most 1.5)\n", f.ours / f.find);
    std::printf("  longest stall:     %.1f ms (target: at most 50)\n",
                double(f.longestStallNs) / 1e6);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString small = dir.filePath("small");
    const QString large = dir.filePath("large");
    makeTree(small, 2000, 20);
    makeTree(large, 20000, 20);

    const SearchFigures s = measure(small, 3);
    report("2,000 folders and 40,000 files", s);
    const SearchFigures l = measure(large, 2);
    report("20,000 folders and 400,000 files", l);
    std::printf("  growth, ten times the tree: %.1f times the time (linear: 10)\n",
                l.ours / s.ours);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("  peak resident:     %.1f MB with %d rows in the list (target: under 300)\n",
                double(usage.ru_maxrss) / 1024.0, l.rows);
    return 0;
}
