// The Windows folder listing on a real folder tree that this program makes
// (hidden and system attributes set with SetFileAttributesW), checked with
// the same expectations as the Linux listing's tests. Prints a line per
// check and ends with the count.
//   listing_driver FOLDER   (an empty folder to build the tree in)

#include "WindowsListing.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace winlisting;

namespace {

int passed = 0, failed = 0;

void check(const char *what, bool ok)
{
    std::printf("%s: listing: %s\n", ok ? "PASS" : "FAIL", what);
    (ok ? passed : failed)++;
}

void touch(const std::wstring &path)
{
    const HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE)
        CloseHandle(f);
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2)
        return 2;
    const std::wstring root = std::wstring(argv[1]) + L"\\";
    for (const wchar_t *folder : {L"A", L"B", L"A\\X", L"Hidden", L"System"})
        CreateDirectoryW((root + folder).c_str(), nullptr);
    for (const wchar_t *file : {L"b.doc", L"A.doc", L"c.doc", L"a2.doc", L"letter.txt",
                                L"R\u00e9sum\u00e9 #1.docx", L"secret.doc", L"~$lock.doc"})
        touch(root + file);
    SetFileAttributesW((root + L"secret.doc").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW((root + L"Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW((root + L"System").c_str(), FILE_ATTRIBUTE_SYSTEM);

    check("sorted by upper-cased names",
          matchingFiles(root, L"*.doc") == std::vector<std::wstring>{L"A.doc", L"a2.doc", L"b.doc",
                                                                     L"c.doc", L"secret.doc",
                                                                     L"~$lock.doc"});
    check("\"*.do*\" takes .doc and .docx, not .txt; hidden files included",
          matchingFiles(root, L"*.do*") ==
              std::vector<std::wstring>{L"A.doc", L"a2.doc", L"b.doc", L"c.doc",
                                        L"R\u00e9sum\u00e9 #1.docx", L"secret.doc", L"~$lock.doc"});
    check("non-ASCII letters, blanks and # intact",
          matchingFiles(root, L"*.docx") == std::vector<std::wstring>{L"R\u00e9sum\u00e9 #1.docx"});
    check("hidden and system folders are not entered",
          subfolders(root) == std::vector<std::wstring>{L"A", L"B"});
    check("subfolders of a subfolder", subfolders(root + L"A") == std::vector<std::wstring>{L"X"});
    check("a folder that cannot be read lists nothing", listFolder(root + L"missing").empty());
    check("wildcards as on Linux",
          matchesWildcard(L"a.doc", L"*.do*") && matchesWildcard(L"B.DOCX", L"*.do*") &&
              matchesWildcard(L"c.dotm", L"*.do*") && matchesWildcard(L"d.do", L"*.do*") &&
              matchesWildcard(L"x.do.bak", L"*.do*") && !matchesWildcard(L"letter.txt", L"*.do*") &&
              !matchesWildcard(L"nodot", L"*.do*") && !matchesWildcard(L"doc", L"*.do*") &&
              !matchesWildcard(L"a.odt", L"*.do*") && matchesWildcard(L"nodot", L"*.*") &&
              matchesWildcard(L"\u00fcn\u00ef.DOC", L"*.do*"));
    check("order rules as on Linux", listsBefore(L"apple", L"Banana") && listsBefore(L"B", L"c") &&
                                         listsBefore(L"Z", L"_") &&
                                         listsBefore(L"report", L"~report"));
    check("a named folder is a folder", namesFolder(root + L"A") && !namesFolder(root + L"b.doc"));

    // A link to a folder: named, it is a folder; met in a search, not entered.
    // (Wine 8 answers CreateSymbolicLinkW with success and makes no link.)
    const std::wstring link = root + L"Link";
    if (CreateSymbolicLinkW(link.c_str(), (root + L"A").c_str(),
                            SYMBOLIC_LINK_FLAG_DIRECTORY |
                                SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
        GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
        check("a link to a folder is not entered by a search",
              subfolders(root) == std::vector<std::wstring>{L"A", L"B"});
        check("a link to a folder that the user names is a folder", namesFolder(link));
    } else {
        std::printf("SKIP: listing: links to folders (this system made no link)\n");
    }
    std::printf("listing: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
