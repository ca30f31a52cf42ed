// Prints figures, asserts nothing. Run through run-benchmarks.sh, which
// provides the private CUPS scheduler and its capture queue.
//
// 1. PrintDocument per document, against `soffice --headless --pt` on the
//    same documents and queue.
// 2. A whole run of the main window over ten documents with the pause of 0
//    seconds, minus its ten mandatory one-second pauses, per document.
// 3. The CPU share of the program while a run waits.

#include "CupsPrinterList.h"
#include "DesktopShell.h"
#include "EventLoop.h"
#include "FileDialogs.h"
#include "Form1.h"
#include "LibreOfficeProcessor.h"
#include "ListView1.h"
#include "MessageBoxes.h"
#include "SettingsStore.h"
#include "WaitSeconds.h"
#include "Word1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <sys/resource.h>

namespace {

class QuietBoxes : public MessageBoxes
{
public:
    Answer show(const QString &text, Buttons buttons, Icon, const QString &) override
    {
        if (text != QLatin1String("Done."))
            std::printf("  message: %s\n", qPrintable(text));
        return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }
};

class MemorySettings : public SettingsStore
{
public:
    QString read(const QString &key, const QString &d) const override { return m_v.value(key, d); }
    void write(const QString &key, const QString &value) override { m_v[key] = value; }

private:
    QMap<QString, QString> m_v;
};

class NoShell : public DesktopShell
{
public:
    void open(const QString &) override {}
};

class NoDialogs : public FileDialogs
{
public:
    QString openFileNames(QWidget *, const QString &, const QString &) override { return {}; }
    QString pickFolder(QWidget *, const QString &) override { return {}; }
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int capturedCount()
{
    return int(QDir(qEnvironmentVariable("CAPTURE_ROOT") + "/capture")
                   .entryList(QDir::Files)
                   .filter(QRegularExpression("\\.pdf$"))
                   .size());
}

void waitForCaptured(int n)
{
    QElapsedTimer t;
    t.start();
    while (capturedCount() < n && t.elapsed() < 60000)
        QThread::msleep(20);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int n = 10;
    QTemporaryDir dir;
    QStringList docs;
    for (int i = 0; i < n; ++i) {
        const QString path = dir.filePath(QString("page%1.docx").arg(i));
        QProcess::execute("python3",
                          {MAKE_DOCUMENT_SCRIPT, path, QString("Benchmark page %1").arg(i)});
        docs << path;
    }

    automation::LibreOfficeProcessor::Options options;
    options.yield = [] { yieldToEventLoop(5); };
    automation::LibreOfficeProcessor office(options);
    QuietBoxes boxes;

    // Warm up: seeds the template profile once, as the first start does.
    {
        auto warm = office.CreateInstance();
        warm->Quit(false);
    }

    // 1. PrintDocument.
    int waitedSeconds = 0;
    Word1 word(
        office, boxes, [] { return QStringLiteral("capture"); },
        [&](int s) {
            waitedSeconds += s;
            WaitSeconds(s);
        },
        [] { yieldToEventLoop(); });
    int expected = capturedCount();
    QElapsedTimer clock;
    clock.start();
    for (const QString &doc : docs)
        word.PrintDocument(doc);
    const double ours = double(clock.elapsed()) / 1000.0 / n;
    waitForCaptured(expected += n);
    const double oursWithoutWait = ours - double(waitedSeconds) / n;

    // soffice --pt on the same documents and queue, with a profile of its own
    // that has started before (its first start is not counted).
    QTemporaryDir sofficeProfile;
    const QString profileArg = "-env:UserInstallation=file://" + sofficeProfile.path();
    QProcess::execute("soffice", {profileArg, "--headless", "--pt", "capture", docs[0]});
    waitForCaptured(++expected);
    clock.restart();
    for (const QString &doc : docs)
        QProcess::execute("soffice", {profileArg, "--headless", "--pt", "capture", doc});
    const double theirs = double(clock.elapsed()) / 1000.0 / n;
    waitForCaptured(expected += n);

    std::printf("PrintDocument, %d one-page .docx documents:\n", n);
    std::printf("  ours:           %.3f s per document (of which %.1f s is the specified "
                "one-second wait)\n",
                ours, double(waitedSeconds) / n);
    std::printf("  ours, no wait:  %.3f s per document\n", oursWithoutWait);
    std::printf("  soffice --pt:   %.3f s per document\n", theirs);
    std::printf("  ratio:          %.2f (without the wait: %.2f)\n", ours / theirs,
                oursWithoutWait / theirs);

    // 2 and 3. A whole run from the main window, pause 0.
    MemorySettings settings;
    settings.write("Combo1", "0");
    CupsPrinterList printers;
    NoShell shell;
    NoDialogs dialogs;
    int pauses = 0;
    double waitingCpu = 0, waitingWall = 0;
    Form1 form({settings, printers, boxes, shell, dialogs, office, QString(), [] { return 1; },
                [] { std::exit(1); },
                [&](int s) {
                    pauses += s;
                    const double cpu = cpuSeconds();
                    QElapsedTimer w;
                    w.start();
                    WaitSeconds(s);
                    waitingWall += double(w.elapsed()) / 1000.0;
                    waitingCpu += cpuSeconds() - cpu;
                }});
    form.Form_Load();
    for (const QString &doc : docs)
        form.listView()->append(doc);
    clock.restart();
    form.Start();
    const double run = double(clock.elapsed()) / 1000.0;
    waitForCaptured(expected += n);
    const double perDocument = (run - n * 1.0) / n; // less the ten pauses of 0 + 1 s
    std::printf("Run of %d documents, pause \"0 seconds\":\n", n);
    std::printf("  total %.2f s; less the %d one-second pauses: %.3f s per document\n", run, n,
                perDocument);
    std::printf("  against soffice --pt: %.2f\n", perDocument / theirs);
    std::printf("  CPU while waiting: %.2f s over %.1f s = %.1f%% of one core\n", waitingCpu,
                waitingWall, 100.0 * waitingCpu / waitingWall);
    std::printf("  jobs captured in all: %d\n", capturedCount());
    return 0;
}
