#pragma once

#include <QDateTime>
#include <QDir>
#include <QString>
#include <QStringList>

#include <sys/types.h>
#include <vector>

// Helpers for tests that print through the private scheduler
// (tests/cups/with-private-cups.sh) with the real office.
namespace e2e {

// The folder where the capture queue of that name stores its jobs.
[[nodiscard]] QString captureDir(const QString &queue);
// The captured job files of a queue, oldest first.
[[nodiscard]] QStringList capturedJobs(const QString &queue);
// Waits (up to timeoutMs) until the queue holds at least n jobs.
[[nodiscard]] QStringList waitForJobs(const QString &queue, int n, int timeoutMs = 30000);
// A queue prints its jobs in the order they came: the jobs captured after the
// first `from` ones and before a marker job sent now, once that is in (so a
// job a failed print might still have sent is there by then).
[[nodiscard]] QStringList jobsBeforeMarker(const QString &queue, qsizetype from);
// The text layer of a captured job (a PDF as the office sent it).
[[nodiscard]] QString jobText(const QString &jobFile);
// Writes a small document holding the paragraphs; the format follows the
// extension.
void makeDocument(const QString &path, const QStringList &paragraphs);
// A compound file shaped as an encrypted .docx ("encrypted") or a
// rights-managed .doc ("rights").
void makeLockedDocument(const QString &path, const QString &kind, const QStringList &paragraphs);
// soffice.bin processes that are children of this process.
[[nodiscard]] std::vector<pid_t> officeChildren();
// The state letter of a process ('R', 'S', 'Z', ...), 0 when it is gone.
[[nodiscard]] char processState(pid_t pid);
// Office sockets of ours, made since the given time, that nobody listens on
// any more (older ones are not this run's: a program killed earlier, say).
[[nodiscard]] QStringList staleOfficeSockets(const QDateTime &since);
// Whether the private scheduler is there at all.
[[nodiscard]] bool schedulerAvailable();

} // namespace e2e
