#pragma once

#include <QString>

// The folder that holds the program's own files (Samples, Video, drag.ico,
// x/o.cjs), without a trailing separator.
[[nodiscard]] QString programFolder();

// The same, for an executable in executableDir: the executable's own folder
// when it has the files beside it (a build), else the installed data folder
// relative to it (PREFIX/bin -> PREFIX/share/marrowlake), else the data
// folder the build was configured for.
[[nodiscard]] QString programFolderFor(const QString &executableDir,
                                       const QString &configuredDataDir);
