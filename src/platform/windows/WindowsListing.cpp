#include "WindowsListing.h"

#include <windows.h>

#include <algorithm>

namespace winlisting {

namespace {

std::wstring withSeparator(const std::wstring &folder)
{
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/')
        return folder;
    return folder + L'\\';
}

wchar_t upper(wchar_t c)
{
    wchar_t one[2] = {c, 0};
    CharUpperBuffW(one, 1);
    return one[0];
}

} // namespace

bool listsBefore(const std::wstring &a, const std::wstring &b)
{
    const int folded =
        CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE);
    if (folded != CSTR_EQUAL)
        return folded == CSTR_LESS_THAN;
    return a < b;
}

std::vector<Entry> listFolder(const std::wstring &folder)
{
    std::vector<Entry> entries;
    WIN32_FIND_DATAW data{};
    const std::wstring pattern = withSeparator(folder) + L"*";
    const HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
        return entries;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const DWORD a = data.dwFileAttributes;
        const bool link = (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        const bool directory = (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
        Entry entry;
        entry.name = name;
        entry.isFolder = directory && !link;
        entry.isFile = !directory;
        entry.isHidden = (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        entries.push_back(std::move(entry));
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(entries.begin(), entries.end(),
              [](const Entry &x, const Entry &y) { return listsBefore(x.name, y.name); });
    return entries;
}

std::vector<std::wstring> subfolders(const std::wstring &folder)
{
    std::vector<std::wstring> names;
    for (const Entry &e : listFolder(folder))
        if (e.isFolder && !e.isHidden)
            names.push_back(e.name);
    return names;
}

std::vector<std::wstring> matchingFiles(const std::wstring &folder, const std::wstring &pattern)
{
    std::vector<std::wstring> names;
    for (const Entry &e : listFolder(folder))
        if (e.isFile && matchesWildcard(e.name, pattern))
            names.push_back(e.name);
    return names;
}

bool isHidden(const std::wstring &path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

bool namesFolder(const std::wstring &path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES)
        return false;
    if (!(a & FILE_ATTRIBUTE_REPARSE_POINT))
        return (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A link: what it leads to decides.
    const HANDLE target = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (target == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool folder = GetFileInformationByHandle(target, &info) &&
                        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    CloseHandle(target);
    return folder;
}

bool matchesWildcard(const std::wstring &name, const std::wstring &pattern)
{
    if (pattern == L"*.*" || pattern == L"*")
        return true;
    // Greedy matching with one point to fall back to after a "*".
    size_t n = 0, p = 0, star = std::wstring::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || upper(pattern[p]) == upper(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            resume = n;
        } else if (star != std::wstring::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*')
        ++p;
    return p == pattern.size();
}

} // namespace winlisting
