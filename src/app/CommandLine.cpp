#include "CommandLine.h"

#include "FileNames.h"

#include <QDir>

namespace {

CommandLine usageError(const QString &error)
{
    CommandLine line;
    line.mode = CommandLine::Mode::UsageError;
    line.error = error;
    return line;
}

} // namespace

QString pageRanges(const QString &text)
{
    QStringList ranges;
    for (const QString &item : text.split(u',')) {
        const QStringList ends = item.split(u'-');
        if (ends.size() > 2)
            return {};
        bool ok = true;
        int previous = 0;
        for (const QString &end : ends) {
            const int page = end.trimmed().toInt(&ok);
            if (!ok || page < 1 || page < previous)
                return {};
            previous = page;
        }
        ranges << ends.join(u'-').remove(u' ');
    }
    return ranges.join(u',');
}

bool wantsNoWindow(const QStringList &arguments, PathStyle style)
{
    // Our options all start with "--" (Qt's own with one dash): every one of
    // them, a wrong one included, is answered without a window.
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--"))
            return false;
        if (argument.startsWith(QLatin1String("--")) ||
            (style == PathStyle::Windows && argument == QLatin1String("/?")))
            return true;
    }
    return false;
}

CommandLine parseCommandLine(const QStringList &arguments, PathStyle style)
{
    CommandLine line;
    bool print = false, watch = false, list = false, history = false, onlyPaths = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (!onlyPaths && style == PathStyle::Windows && argument == QLatin1String("/?")) {
            line.mode = CommandLine::Mode::Help;
            return line;
        }
        if (onlyPaths || !argument.startsWith(u'-') || argument == QLatin1String("-")) {
            line.paths << argument;
            continue;
        }
        // --name=value and --name value alike.
        const qsizetype equals = argument.indexOf(u'=');
        const QString name = equals < 0 ? argument : argument.left(equals);
        auto value = [&]() -> std::optional<QString> {
            if (equals >= 0)
                return argument.mid(equals + 1);
            if (i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        if (name == QLatin1String("--")) {
            onlyPaths = true;
        } else if (name == QLatin1String("--help")) {
            line.mode = CommandLine::Mode::Help;
            return line;
        } else if (name == QLatin1String("--version")) {
            line.mode = CommandLine::Mode::Version;
            return line;
        } else if (name == QLatin1String("--print")) {
            print = true;
        } else if (name == QLatin1String("--watch")) {
            watch = true;
        } else if (name == QLatin1String("--list-printers")) {
            list = true;
        } else if (name == QLatin1String("--history")) {
            history = true;
            if (equals >= 0)
                line.paths << *value(); // the count, read below
        } else if (name == QLatin1String("--paths")) {
            line.historyPaths = true;
        } else if (name == QLatin1String("--null")) {
            line.nullSeparated = true;
        } else if (name == QLatin1String("--from")) {
            const auto file = value();
            if (!file || file->isEmpty())
                return usageError(QStringLiteral("--from needs a file, or - for standard input"));
            line.fromFile = *file;
        } else if (name == QLatin1String("--copies")) {
            const auto copies = value();
            bool ok = false;
            line.copies = copies ? copies->toInt(&ok) : 0;
            if (!ok || line.copies < 1 || line.copies > 999)
                return usageError(QStringLiteral("--copies takes a number from 1 to 999"));
        } else if (name == QLatin1String("--jobs")) {
            const auto jobs = value();
            bool ok = false;
            line.jobs = jobs ? jobs->toInt(&ok) : 0;
            if (!ok || line.jobs < 1 || line.jobs > 16)
                return usageError(QStringLiteral("--jobs takes a number from 1 to 16"));
        } else if (name == QLatin1String("--pages")) {
            const auto pages = value();
            line.pages = pages ? pageRanges(*pages) : QString();
            if (line.pages.isEmpty())
                return usageError(
                    QStringLiteral("--pages takes pages and ranges of pages, such as 1-3,5"));
        } else if (name == QLatin1String("--printer")) {
            const auto printer = value();
            if (!printer || printer->isEmpty())
                return usageError(QStringLiteral("--printer needs a printer's name"));
            line.printer = *printer;
        } else if (name == QLatin1String("--log")) {
            const auto file = value();
            if (!file || file->isEmpty())
                return usageError(QStringLiteral("--log needs a file"));
            line.logFile = *file;
        } else if (name == QLatin1String("--done") || name == QLatin1String("--failed")) {
            const auto folder = value();
            if (!folder || folder->isEmpty())
                return usageError(QStringLiteral("%1 needs a folder").arg(name));
            (name == QLatin1String("--done") ? line.doneFolder : line.failedFolder) = *folder;
        } else if (name == QLatin1String("--pause")) {
            const auto seconds = value();
            bool ok = false;
            const int n = seconds ? seconds->toInt(&ok) : -1;
            if (!ok || n < 0 || n > 9)
                return usageError(
                    QStringLiteral("--pause takes a whole number of seconds from 0 to 9"));
            line.pause = n;
        } else {
            return usageError(QStringLiteral("unknown option: %1").arg(argument));
        }
    }
    if (list) {
        line.mode = CommandLine::Mode::ListPrinters;
        return line;
    }
    if (line.historyPaths && !history)
        return usageError(QStringLiteral("--paths goes with --history"));
    if (line.nullSeparated && line.fromFile.isEmpty() && !line.historyPaths)
        return usageError(QStringLiteral("--null goes with --from or --history --paths"));
    if (history) {
        // --history [N] [--paths]: the one argument besides is the count.
        line.mode = CommandLine::Mode::History;
        if (print || watch || line.paths.size() > 1 || line.printer || line.pause ||
            !line.logFile.isEmpty() || line.copies != 1 || !line.pages.isEmpty() || line.jobs ||
            !line.fromFile.isEmpty() || !line.doneFolder.isEmpty() || !line.failedFolder.isEmpty())
            return usageError(QStringLiteral("--history goes alone (with a count, --paths and "
                                             "--null)"));
        if (!line.paths.isEmpty()) {
            bool ok = false;
            line.historyCount = line.paths.takeFirst().toInt(&ok);
            if (!ok || line.historyCount < 1)
                return usageError(QStringLiteral("--history takes a number of entries"));
        }
        return line;
    }
    if ((line.printer || line.pause || !line.logFile.isEmpty() || line.copies != 1 ||
         !line.pages.isEmpty()) &&
        !print && !watch)
        return usageError(QStringLiteral(
            "--printer, --pause, --copies, --pages and --log go with --print or --watch"));
    if (!line.fromFile.isEmpty() && !print)
        return usageError(QStringLiteral("--from goes with --print"));
    if (line.jobs && !print)
        return usageError(QStringLiteral("--jobs goes with --print"));
    if (print && watch)
        return usageError(QStringLiteral("--print and --watch do not go together"));
    if ((!line.doneFolder.isEmpty() || !line.failedFolder.isEmpty()) && !watch)
        return usageError(QStringLiteral("--done and --failed go with --watch"));
    if (watch) {
        line.mode = CommandLine::Mode::Watch;
        if (line.paths.size() != 1)
            return usageError(QStringLiteral("--watch needs one folder"));
        return line;
    }
    if (print) {
        line.mode = CommandLine::Mode::Print;
        if (line.paths.isEmpty() && line.fromFile.isEmpty())
            return usageError(QStringLiteral("--print needs at least one document or folder"));
    }
    return line;
}

QStringList absolutePaths(const QStringList &paths)
{
    QStringList absolute;
    for (const QString &path : paths)
        absolute << QDir::cleanPath(QDir::current().absoluteFilePath(path));
    return absolute;
}

QStringList commandLinePaths(const QStringList &paths, bool mustExist,
                             const std::function<void(const QString &)> &warn, PathStyle style)
{
    QStringList taken;
    for (QString path : paths) {
        // Windows' argument rules turn "D:\" into D:" (the backslash escapes
        // the closing quote); no Windows name ends with a quote.
        if (style == PathStyle::Windows && path.endsWith(u'"'))
            path.chop(1);
        if (path.isEmpty()) {
            warn(QStringLiteral("an empty path is left out"));
            continue;
        }
        const QString absolute = absolutePaths({path}).constFirst();
        if (mustExist && !fileStatus(absolute).exists) {
            warn(QStringLiteral("there is no file or folder %1").arg(absolute));
            continue;
        }
        taken << absolute;
    }
    return taken;
}

QString commandLineHelp(PathStyle style)
{
    // Only what this system's build has: Word on Windows, where each start
    // also opens a window of its own.
    const bool windows = style == PathStyle::Windows;
    QString help = QStringLiteral("Usage: marrowlake [PATH...]\n"
                                  "       marrowlake --print [--printer NAME] [--pause SECONDS] "
                                  "[--copies N]\n"
                                  "                  [--pages RANGES] [--jobs N] [--from FILE "
                                  "[--null]] [PATH...]\n"
                                  "       marrowlake --watch FOLDER [--printer NAME] [--pause "
                                  "SECONDS]\n"
                                  "                  [--done FOLDER] [--failed FOLDER]\n");
    help += QStringLiteral("       marrowlake --list-printers\n"
                           "       marrowlake --history [N] [--paths [--null]]\n"
                           "\n"
                           "Prints many word-processor documents in one run, each opened and "
                           "printed by\n");
    help += windows ? QStringLiteral("Microsoft Word") : QStringLiteral("LibreOffice");
    help += QStringLiteral(", in order, on one printer.\n\n");
    help += windows ? QStringLiteral("Without options the window opens with PATH... added to its "
                                     "list: a\nfolder with every file of it and of its "
                                     "subfolders, a file as it is.\n\n")
                    : QStringLiteral("Without options the window opens (or the running one comes "
                                     "to the front)\nwith PATH... added to its list: a folder "
                                     "with every file of it and of its\nsubfolders, a file as it "
                                     "is.\n\n");
    help += QStringLiteral(
        "  --print            print PATH... without a window; one line per document\n");
    help +=
        QStringLiteral("  --watch FOLDER     print every document dropped into FOLDER or its\n"
                       "                     subfolders, once, in order of arrival, until stopped\n"
                       "                     (Ctrl+C); documents there before the first watch of\n"
                       "                     FOLDER are left alone, those arriving between two\n"
                       "                     watches are printed by the next\n"
                       "  --done FOLDER      with --watch: move each printed document there (a\n"
                       "                     folder of this user's own)\n"
                       "  --failed FOLDER    with --watch: move each failed document there, with\n"
                       "                     NAME.EXT.txt beside it saying why\n"
                       "  --log FILE         with --print or --watch: append a JSON line per\n"
                       "                     document to FILE (time, path, printer, result)\n");
    help += QStringLiteral(
        "  --copies N         copies of each document, 1 to 999 (default 1)\n"
        "  --pages RANGES     only these pages, as the print dialogs take them: 1-3,5\n"
        "  --jobs N           with --print: documents worked on at once, one printing\n"
        "                     and the others opening ahead (default: the processor's\n"
        "                     cores, at least 2)\n"
        "  --from FILE        with --print: first the paths listed in FILE (- for\n"
        "                     standard input), one a line; lines starting with #\n"
        "                     are left out\n");
    help += windows
                ? QStringLiteral("  --null             the list's paths end with a NUL character "
                                 "instead of a\n                     line break\n")
                : QStringLiteral("  --null             the list is NUL-separated (find -print0)\n");
    help += QStringLiteral(
        "  --history [N]      the last N (default 20) documents printed, from the\n"
        "                     record every run keeps; with --paths as a list file\n");
    help +=
        QStringLiteral("  --printer NAME     the printer (default: the one chosen in the window)\n"
                       "  --pause SECONDS    0 to 9 seconds between two documents (default: the\n"
                       "                     one chosen in the window)\n"
                       "  --list-printers    list the printers; the default one is marked\n");
    help += windows ? QStringLiteral("  --help, /?         show this help and exit\n")
                    : QStringLiteral("  --help             show this help and exit\n");
    help += QStringLiteral("  --version          show the version and exit\n"
                           "\n"
                           "Exit status of --print: 0 when every document printed, 1 when any "
                           "failed,\n2 for a usage error, an unknown printer or no documents, ");
    help += windows ? QStringLiteral("130 when\ninterrupted with Ctrl+C, 149 with Ctrl+Break, "
                                     "129 when the console is closed.\n")
                    : QStringLiteral("130 or 143 when\ninterrupted. --watch ends with 0 when "
                                     "stopped, after the document in hand.\n");
    return help;
}
