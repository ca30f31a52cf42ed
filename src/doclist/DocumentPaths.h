#pragma once

#include <QString>
#include <QStringList>

// Path building for the documents added to the list.

// Folder and name joined with one separator; the folder has none at its end.
[[nodiscard]] QString joinPath(const QString &folder, const QString &name);

// Undoes the doubled separator that joining produces after the root folder
// ("//name" becomes "/name"); separators elsewhere are left as they are.
[[nodiscard]] QString withoutDoubledRoot(const QString &path);

// The paths an open-file dialog's result stands for: one full path as it
// is, or a folder followed by names (separated by NUL characters) as one
// path per name, in the dialog's order. A part that is a full path itself
// (picked from another folder) is taken as it is.
[[nodiscard]] QStringList pathsFromDialogResult(const QString &fileName);
