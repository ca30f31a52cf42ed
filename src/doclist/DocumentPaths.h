#pragma once

#include <QString>
#include <QStringList>

// Path building for the documents added to the list. Paths are built with
// "/" (as Qt gives them); the rules differ where Windows paths differ: a
// drive's root ("C:/") and network shares ("//server/share/...").

enum class PathStyle
{
    Posix,
    Windows
};

// The style of the system the program runs on.
[[nodiscard]] PathStyle nativePathStyle();

// Folder and name joined with one separator; the folder has none at its end.
[[nodiscard]] QString joinPath(const QString &folder, const QString &name);

// Undoes the doubled separator that joining produces after a root folder
// ("//name" becomes "/name"; on Windows "C://name" becomes "C:/name", and a
// network path's leading "//" is kept); separators elsewhere are left as
// they are.
[[nodiscard]] QString withoutDoubledRoot(const QString &path, PathStyle style = nativePathStyle());

// The paths an open-file dialog's result stands for: one full path as it
// is, or a folder followed by names (separated by NUL characters) as one
// path per name, in the dialog's order. A part that is a full path itself
// (picked from another folder) is taken as it is.
[[nodiscard]] QStringList pathsFromDialogResult(const QString &fileName,
                                                PathStyle style = nativePathStyle());

// A path as the user reads it (and the word processor is given it):
// backslashes on Windows.
[[nodiscard]] QString displayedPath(const QString &path, PathStyle style = nativePathStyle());
