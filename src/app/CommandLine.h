#pragma once

#include "DocumentPaths.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What the program was asked to do on its command line.
struct CommandLine
{
    enum class Mode
    {
        Window,       // the main window, with these paths added
        Print,        // print the paths without a window
        Watch,        // print what arrives in a folder, without a window
        ListPrinters, // list the printers
        History,      // show the record of the last documents printed
        Help,
        Version,
        UsageError
    };
    Mode mode = Mode::Window;
    QStringList paths;
    std::optional<QString> printer;
    std::optional<int> pause; // 0 to 9 seconds, as the pause choices
    // --watch: where printed and failed documents are moved (empty: left).
    QString doneFolder;
    QString failedFolder;
    // --print and --watch: a record of each document, appended to this file.
    QString logFile;
    // --print and --watch: copies (1 to 999) and pages ("1-3,5"; empty: all).
    int copies = 1;
    QString pages;
    // --print: a list of paths to read first ("-": standard input), one a
    // line or, with --null, NUL-separated.
    QString fromFile;
    bool nullSeparated = false;
    // --print: how many documents are worked on at once (one printing, the
    // others opening in offices of their own); 0: the cores, at least 2.
    int jobs = 0;
    // --history: how many of the last entries, and whether as a list of paths.
    int historyCount = 20;
    bool historyPaths = false;
    QString error; // for UsageError
};

// Reads the arguments (without the program's name). Options go before the
// paths; after "--" everything is a path.
// On Windows "/?" asks for the help too.
[[nodiscard]] CommandLine parseCommandLine(const QStringList &arguments,
                                           PathStyle style = nativePathStyle());

// Whether these arguments (Qt's own still among them) ask for no window.
[[nodiscard]] bool wantsNoWindow(const QStringList &arguments, PathStyle style = nativePathStyle());

// The page ranges as the print dialogs take them ("1-3,5": pages and
// ranges of pages from 1, separated by commas, blanks allowed), written
// without blanks; empty when they are not such ranges or name no page.
[[nodiscard]] QString pageRanges(const QString &text);

// The help of --help, for this system's build.
[[nodiscard]] QString commandLineHelp(PathStyle style = nativePathStyle());

// The paths as a drop would deliver them: absolute, without "." or "..".
[[nodiscard]] QStringList absolutePaths(const QStringList &paths);

// The command line's paths as the program takes them: absolute and clean.
// An empty one (an unset shell variable, say) is left out, and so, when
// `mustExist`, is one that does not exist; `warn` is told of each.
[[nodiscard]] QStringList commandLinePaths(const QStringList &paths, bool mustExist,
                                           const std::function<void(const QString &)> &warn,
                                           PathStyle style = nativePathStyle());
