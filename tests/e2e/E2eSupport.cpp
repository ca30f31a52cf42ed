#include "E2eSupport.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace e2e {

QString captureDir(const QString &queue)
{
    return qEnvironmentVariable("CAPTURE_ROOT") + u'/' + queue;
}

QStringList capturedJobs(const QString &queue)
{
    const QDir dir(captureDir(queue));
    QStringList jobs;
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
        if (!name.endsWith(QLatin1String(".part")))
            jobs << dir.filePath(name);
    return jobs;
}

QStringList waitForJobs(const QString &queue, int n, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QStringList jobs = capturedJobs(queue);
    while (jobs.size() < n && clock.elapsed() < timeoutMs) {
        QThread::msleep(50);
        jobs = capturedJobs(queue);
    }
    return jobs;
}

QStringList jobsBeforeMarker(const QString &queue, qsizetype from)
{
    QProcess lp;
    lp.start(QStringLiteral("lp"),
             {QStringLiteral("-d"), queue, QStringLiteral("-t"), QStringLiteral("e2e-marker")});
    lp.write("marker\n");
    lp.closeWriteChannel();
    lp.waitForFinished(30000);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000) {
        const QStringList jobs = capturedJobs(queue).mid(from);
        for (qsizetype i = 0; i < jobs.size(); ++i)
            if (jobs[i].endsWith(QLatin1String("-e2e-marker")))
                return jobs.mid(0, i);
        QThread::msleep(50);
    }
    qFatal("the marker job did not reach queue %s", qPrintable(queue));
}

QString jobText(const QString &jobFile)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {jobFile, QStringLiteral("-")});
    pdftotext.waitForFinished(30000);
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

static void runMaker(const QStringList &args, const QString &path)
{
    QProcess maker;
    maker.start(QStringLiteral("python3"), args);
    maker.waitForFinished(30000);
    if (maker.exitCode() != 0 || !QFile::exists(path))
        qFatal("could not make %s: %s", qPrintable(path), maker.readAllStandardError().data());
}

void makeDocument(const QString &path, const QStringList &paragraphs)
{
    runMaker(QStringList{QStringLiteral(MAKE_DOCUMENT_SCRIPT), path} + paragraphs, path);
}

void makeLockedDocument(const QString &path, const QString &kind, const QStringList &paragraphs)
{
    runMaker(
        QStringList{QStringLiteral(MAKE_DOCUMENT_SCRIPT), QStringLiteral("--locked"), kind, path} +
            paragraphs,
        path);
}

std::vector<pid_t> officeChildren()
{
    std::vector<pid_t> pids;
    const QString self = QString::number(getpid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        pid.toInt(&numeric);
        if (!numeric)
            continue;
        QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString line = QString::fromUtf8(stat.readAll());
        const qsizetype close = line.lastIndexOf(u')');
        const QString name = line.mid(line.indexOf(u'(') + 1, close - line.indexOf(u'(') - 1);
        const QStringList rest = line.mid(close + 2).split(u' ');
        if (name == QLatin1String("soffice.bin") && rest.size() > 1 && rest[1] == self &&
            rest[0] != QLatin1String("Z"))
            pids.push_back(pid.toInt());
    }
    return pids;
}

char processState(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() ? line[close + 2] : char(0);
}

// Office sockets of ours, made since the given time, that nobody listens on
// any more (older ones are not this run's: a program killed earlier, say).
QStringList staleOfficeSockets(const QDateTime &since)
{
    QStringList stale;
    const QString prefix = "OSL_PIPE_" + QString::number(getuid()) + "_marrowlake-";
    for (const QString &name : QDir("/tmp").entryList({prefix + "*"}, QDir::System)) {
        if (QFileInfo("/tmp/" + name).lastModified() < since)
            continue;
        const QByteArray path = QFile::encodeName("/tmp/" + name);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path.constData(), sizeof(address.sun_path));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0)
            stale << name;
        ::close(fd);
    }
    return stale;
}

bool schedulerAvailable()
{
    return !qEnvironmentVariable("CUPS_SERVER").isEmpty() &&
           !qEnvironmentVariable("CAPTURE_ROOT").isEmpty();
}

} // namespace e2e
