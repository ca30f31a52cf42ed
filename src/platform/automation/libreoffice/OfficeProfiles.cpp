#include "OfficeProfiles.h"

#include "WordAutomation.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace automation {

namespace {

fs::path homeDir()
{
    const char *home = std::getenv("HOME");
    return home && *home ? fs::path(home) : fs::temp_directory_path();
}

bool processAlive(pid_t pid)
{
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

} // namespace

std::string readWholeFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string randomToken()
{
    std::random_device device;
    std::string token;
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 32; ++i)
        token += digits[device() % 16];
    return token;
}

OfficeProfiles::OfficeProfiles(fs::path templateDir, fs::path copiesDir)
    : m_templateDir(std::move(templateDir)), m_copiesDir(std::move(copiesDir))
{
    fs::create_directories(m_templateDir.parent_path());
    fs::create_directories(m_copiesDir);
    ::chmod(m_copiesDir.c_str(), 0700);
    struct stat info
    {
    };
    if (::lstat(m_copiesDir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != getuid() || (info.st_mode & 077) != 0)
        throw SystemFailure("The folder for office profiles is not private: " +
                            m_copiesDir.string());
}

fs::path OfficeProfiles::defaultTemplateDir()
{
    const char *cache = std::getenv("XDG_CACHE_HOME");
    const fs::path base = cache && *cache ? fs::path(cache) : homeDir() / ".cache";
    return base / "marrowlake" / "office-profile";
}

fs::path OfficeProfiles::defaultCopiesDir()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    const fs::path base = runtime && *runtime && fs::is_directory(runtime)
                              ? fs::path(runtime)
                              : fs::temp_directory_path();
    return base / ("marrowlake-" + std::to_string(getuid()));
}

bool OfficeProfiles::templateIsSeeded() const
{
    const std::string text = readWholeFile(m_templateDir / "user" / "registrymodifications.xcu");
    return text.find("ooSetupLastVersion") != std::string::npos;
}

fs::path OfficeProfiles::tempDirFor(const fs::path &profile)
{
    return profile.empty() ? fs::path() : fs::path(profile.string() + "-tmp");
}

fs::path OfficeProfiles::warmUpFolder(const fs::path &profile)
{
    return profile / "marrowlake-warm-up";
}

fs::path OfficeProfiles::warmUpDocument(const fs::path &profile, const std::string &extension)
{
    std::string lower = extension;
    for (char &c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    // Templates and macro-enabled kinds load through the same filters.
    if (lower == ".docm" || lower == ".dotx" || lower == ".dotm")
        lower = ".docx";
    else if (lower == ".dot")
        lower = ".doc";
    else if (lower == ".ott")
        lower = ".odt";
    const fs::path blank = warmUpFolder(profile) / ("blank" + lower);
    std::error_code error;
    return fs::is_regular_file(blank, error) ? blank : fs::path();
}

std::string OfficeProfiles::setUpVersion(const fs::path &profile)
{
    const std::string text = readWholeFile(profile / "user" / "registrymodifications.xcu");
    const auto at = text.find("\"ooSetupLastVersion\"");
    const auto open = text.find("<value>", at);
    const auto close = text.find("</value>", open);
    if (at == std::string::npos || open == std::string::npos || close == std::string::npos ||
        close - open > 40)
        return {};
    return text.substr(open + 7, close - open - 7);
}

std::string OfficeProfiles::officeVersion(const fs::path &programDir)
{
    const std::string text =
        readWholeFile(programDir.parent_path() / "share" / "registry" / "main.xcd");
    const std::string key = "\"ooSetupVersion\">";
    const auto at = text.find(key);
    if (at == std::string::npos)
        return {};
    const auto open = text.find("<value>", at);
    const auto close = text.find("</value>", open);
    if (open == std::string::npos || close == std::string::npos || close - open > 40)
        return {};
    return text.substr(open + 7, close - open - 7);
}

void OfficeProfiles::markSetUp(const fs::path &profile, const std::string &version)
{
    if (version.empty())
        return;
    const fs::path file = profile / "user" / "registrymodifications.xcu";
    std::string text = readWholeFile(file);
    const auto end = text.rfind("</oor:items>");
    if (end == std::string::npos || text.find("ooSetupLastVersion") != std::string::npos)
        return;
    text.insert(end, "<item oor:path=\"/org.openoffice.Setup/Product\"><prop "
                     "oor:name=\"ooSetupLastVersion\" oor:op=\"fuse\"><value>" +
                         version + "</value></prop></item>\n");
    std::ofstream out(file, std::ios::trunc);
    out << text;
}

void OfficeProfiles::adoptTemplate(const fs::path &seeded) const
{
    std::error_code error;
    // Beside the template first: the private folder it was seeded in may lie
    // on another file system (a tmpfs runtime folder), where no rename reaches.
    const fs::path staged =
        m_templateDir.parent_path() / (m_templateDir.filename().string() + ".new-" + randomToken());
    fs::rename(seeded, staged, error);
    if (error) {
        error.clear();
        fs::copy(seeded, staged, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
                 error);
        std::error_code ignored;
        fs::remove_all(seeded, ignored);
        if (error) {
            fs::remove_all(staged, ignored);
            return;
        }
    }
    fs::rename(staged, m_templateDir, error);
    if (error) {
        // Another process installed its template first, or an unusable one
        // is in the way: replace the latter, keep the former.
        if (!templateIsSeeded()) {
            fs::remove_all(m_templateDir, error);
            fs::rename(staged, m_templateDir, error);
        }
        fs::remove_all(staged, error);
    }
}

fs::path OfficeProfiles::makePrivateDir(const std::string &prefix) const
{
    const fs::path dir =
        m_copiesDir / (prefix + "-" + std::to_string(getpid()) + "-" + randomToken());
    if (::mkdir(dir.c_str(), 0700) != 0) {
        const std::string full = noSpaceLeft({m_copiesDir});
        throw SystemFailure("Could not create a private office profile folder: " +
                            (full.empty() ? dir.string() : full));
    }
    return dir;
}

fs::path OfficeProfiles::makeSeedingDir() const
{
    return makePrivateDir("seed");
}

fs::path OfficeProfiles::makeCopy() const
{
    const fs::path dir = makePrivateDir("office");
    std::error_code error;
    fs::copy(m_templateDir, dir, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
             error);
    if (error) {
        remove(dir);
        const std::string full = noSpaceLeft({m_copiesDir, m_templateDir});
        throw SystemFailure("Could not copy the office profile: " +
                            (full.empty() ? error.message() + "." : full));
    }
    return dir;
}

std::optional<std::uintmax_t> OfficeProfiles::spaceLeft(const fs::path &folder)
{
    // A folder still to be made takes its room from the one above it.
    fs::path existing = folder;
    std::error_code error;
    while (!existing.empty() && !fs::exists(existing, error) && existing.has_parent_path() &&
           existing.parent_path() != existing)
        existing = existing.parent_path();
    const fs::space_info space = fs::space(existing, error);
    if (error)
        return std::nullopt;
    return space.available;
}

std::string OfficeProfiles::noSpaceLeft(const std::vector<fs::path> &folders)
{
    // An office needs a few megabytes to start: its profile's registry, its
    // pipe, its temporary files.
    constexpr std::uintmax_t Room = 4 * 1024 * 1024;
    for (const fs::path &folder : folders) {
        if (folder.empty())
            continue;
        const auto left = spaceLeft(folder);
        if (left && *left < Room)
            return "No space left in " + folder.string() + ".";
    }
    return {};
}

namespace {

constexpr const char *SocketList = "marrowlake-sockets";

// Only the office's own pipe sockets of this user are ever removed.
bool isOfficeSocket(const std::string &path)
{
    const std::string prefix = "/OSL_PIPE_" + std::to_string(getuid()) + "_";
    struct stat info
    {
    };
    return path.find(prefix) != std::string::npos && ::lstat(path.c_str(), &info) == 0 &&
           S_ISSOCK(info.st_mode) && info.st_uid == getuid();
}

} // namespace

void OfficeProfiles::recordSockets(const fs::path &copy, const std::vector<std::string> &paths)
{
    std::ofstream out(copy / SocketList, std::ios::app);
    for (const auto &path : paths)
        out << path << '\n';
}

void OfficeProfiles::removeSockets(const std::vector<std::string> &paths)
{
    for (const auto &path : paths)
        if (isOfficeSocket(path))
            ::unlink(path.c_str());
}

void OfficeProfiles::remove(const fs::path &copy)
{
    std::ifstream in(copy / SocketList);
    std::vector<std::string> sockets;
    for (std::string path; std::getline(in, path);)
        sockets.push_back(path);
    removeSockets(sockets);
    std::error_code error;
    fs::remove_all(copy, error);
}

void OfficeProfiles::sweepStaleCopies() const
{
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(m_copiesDir, error)) {
        const std::string name = entry.path().filename().string();
        const auto first = name.find('-');
        const auto second = name.find('-', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        const pid_t owner = std::atoi(name.substr(first + 1, second - first - 1).c_str());
        if (!processAlive(owner))
            remove(entry.path());
    }
}

std::string OfficeProfiles::fileUrl(const fs::path &dir)
{
    // Our own folders: only the characters of a temporary path and a token.
    std::string url = "file://";
    for (unsigned char c : fs::absolute(dir).string()) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.')
            url += static_cast<char>(c);
        else {
            static const char hex[] = "0123456789ABCDEF";
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

} // namespace automation
