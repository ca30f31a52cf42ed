#pragma once

#include <QString>

// The folder that holds the program's own files (Samples, Video, drag.ico,
// x/o.cjs), without a trailing separator: the executable's folder for a build
// that has them beside it, the installed data folder otherwise.
[[nodiscard]] QString programFolder();
