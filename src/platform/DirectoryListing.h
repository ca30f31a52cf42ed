#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// One entry of a folder as the listing reports it.
struct DirectoryEntry
{
    QString name;
    bool isFolder = false; // a real folder; a link to a folder is not one
    bool isFile = false;   // a plain file, or a link to one
    bool isHidden = false; // the name starts with "."
    bool nameValid = true; // the name is UTF-8 (see FileNames.h)
};

// Lists a folder's entries (without "." and ".."), sorted as the Windows file
// system lists them: by upper-cased name, code point by code point. A folder
// that cannot be read lists nothing.
[[nodiscard]] std::vector<DirectoryEntry> listDirectory(const QString &folder);

// What a folder search needs of one folder, in the listing's order and
// without building an entry for every name: the subfolders it enters (real
// folders, not hidden, names the encoding represents), and the names of the
// files (hidden ones and links to files included) that match a wildcard
// pattern. A folder that cannot be read has neither.
[[nodiscard]] QStringList listSubfolders(const QString &folder);
[[nodiscard]] QStringList listMatchingFiles(const QString &folder, const QString &pattern);

// The listing's order of two names.
[[nodiscard]] bool listsBefore(const QString &a, const QString &b);

// Wildcard match without regard to case, as the Windows listing matches:
// "*" stands for any run of characters (dots included); "*.*" matches every
// name.
[[nodiscard]] bool matchesWildcard(const QString &name, const QString &pattern);

// Whether a path the user named is a folder; a link to a folder counts, since
// the user chose it (only links met inside a search are not followed).
[[nodiscard]] bool namesFolder(const QString &path);

// Whether the file or folder a path names is hidden as the system hides
// things: a name starting with "." here, the hidden or system attribute on
// Windows.
[[nodiscard]] bool isHiddenPath(const QString &path);
