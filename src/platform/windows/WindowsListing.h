#pragma once

// Folder listing on Windows, by the same rules as on Linux: wide (UTF-16)
// names end to end, hidden and system by the file attributes, names sorted
// by their upper-cased forms code unit by code unit, links to folders
// (junctions, symbolic links) not entered by a search. Plain Win32 without
// Qt, so that it is cross-built and tested under Wine on its own.

#include <string>
#include <vector>

namespace winlisting {

struct Entry
{
    std::wstring name;
    bool isFolder = false; // a real folder; a link to a folder is not one
    bool isFile = false;   // a plain file, or a link to one
    bool isHidden = false; // the hidden or the system attribute
};

// A folder's entries (without "." and ".."), sorted as listed; a folder that
// cannot be read lists nothing.
[[nodiscard]] std::vector<Entry> listFolder(const std::wstring &folder);
// The subfolders a search enters: real folders, neither hidden nor system.
[[nodiscard]] std::vector<std::wstring> subfolders(const std::wstring &folder);
// The files (hidden and system ones included) whose names match the pattern.
[[nodiscard]] std::vector<std::wstring> matchingFiles(const std::wstring &folder,
                                                      const std::wstring &pattern);
// Whether a path the user named is a folder (a link to one counts).
[[nodiscard]] bool namesFolder(const std::wstring &path);
// Whether the path has the hidden or the system attribute.
[[nodiscard]] bool isHidden(const std::wstring &path);

[[nodiscard]] bool listsBefore(const std::wstring &a, const std::wstring &b);
// "*" any run of characters (dots included), "?" one; letters without regard
// to case; "*.*" and "*" match every name.
[[nodiscard]] bool matchesWildcard(const std::wstring &name, const std::wstring &pattern);

} // namespace winlisting
