#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class FileDialogs;
class QWidget;

// The folder search: a chosen folder with all of its subfolders.

using Yield = std::function<void()>;

// The folder the user chooses in the folder browser, or empty text on cancel.
[[nodiscard]] QString pickFolder(FileDialogs &dialogs, QWidget *owner, const QString &prompt);

// Extends the folder set (each entry ending in "/") by the subfolders of its
// entries, level by level: all direct subfolders first (grouped by parent, in
// listing order), then the next level down, and so on. Hidden subfolders,
// links to folders and names the file-name encoding cannot represent are not
// searched. Yields to the event loop as it goes.
void collectSubfolders(QStringList &folders, bool recurse, const Yield &yield);

// The names of the files in a folder that match the wildcard pattern, hidden
// ones included, in listing order.
[[nodiscard]] QStringList listFiles(const QString &folder, const QString &pattern);

// The files of a whole folder tree that match the pattern, in the order the
// search finds them, each passed to add as it is found. Names starting with
// "~" are skipped. The tree's own paths are built from the starting folder as
// given; cleanRoot undoes a doubled separator after the root folder.
void addFolderTree(const QString &folder, const QString &pattern, bool cleanRoot,
                   const std::function<void(const QString &)> &add, const Yield &yield);

// The paths a drop (or a command line) names, as the documents they stand
// for, in order: a folder (or a link to one) with every file of its tree
// that `fromFolder` takes (every one when it is empty), a file as it is
// given. Hidden folders count as files.
void expandDroppedPaths(const QStringList &paths, const std::function<void(const QString &)> &add,
                        const Yield &yield,
                        const std::function<bool(const QString &path)> &fromFolder = {});

// A name of one of the document types the program is registered for (.doc,
// .docx, .docm, .dot, .dotx, .dotm, .rtf, .odt, in any case), not an
// office's "~" file.
[[nodiscard]] bool hasDocumentType(const QString &name);

// A file a script takes from a folder: one of the document types the program
// is registered for (.doc, .docx, .docm, .dot, .dotx, .dotm, .rtf, .odt, in
// any case), neither hidden nor a system file, nor an office's "~" file.
[[nodiscard]] bool isPrintableDocument(const QString &path);
