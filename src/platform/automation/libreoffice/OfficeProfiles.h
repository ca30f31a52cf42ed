#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace automation {

// Office user profiles. A brand-new profile costs the office seconds of
// first-start work and one restart; so one seeded template profile is kept per
// user, and every instance runs on a private copy of it that is removed when
// the instance ends.
class OfficeProfiles
{
public:
    // templateDir: where the seeded template lives (kept between runs);
    // copiesDir: a private (0700) folder for the per-instance copies.
    OfficeProfiles(std::filesystem::path templateDir, std::filesystem::path copiesDir);

    [[nodiscard]] const std::filesystem::path &templateDir() const { return m_templateDir; }
    [[nodiscard]] bool templateIsSeeded() const;
    // Installs a freshly seeded profile as the template (atomically; a
    // concurrent seeder that won the race is kept).
    void adoptTemplate(const std::filesystem::path &seeded) const;
    // Records in a freshly started profile that this office version has
    // been set up, which spares every later start the first-start checks.
    static void markSetUp(const std::filesystem::path &profile, const std::string &version);
    // The office version a profile was set up for, empty when none.
    [[nodiscard]] static std::string setUpVersion(const std::filesystem::path &profile);
    // The office's own version ("7.4"), from its configuration data.
    [[nodiscard]] static std::string officeVersion(const std::filesystem::path &programDir);
    // A new, empty private folder beside the copies, for seeding.
    [[nodiscard]] std::filesystem::path makeSeedingDir() const;
    // A private copy of the template for one instance.
    [[nodiscard]] std::filesystem::path makeCopy() const;
    static void remove(const std::filesystem::path &copy);
    // Remembers the office's socket files with its profile copy, so that
    // they go with it, also after the program was killed.
    static void recordSockets(const std::filesystem::path &copy,
                              const std::vector<std::string> &paths);
    static void removeSockets(const std::vector<std::string> &paths);
    // Removes copies left behind by processes that no longer exist.
    void sweepStaleCopies() const;

    [[nodiscard]] static std::string fileUrl(const std::filesystem::path &dir);
    // The private temporary folder of the instance that runs on a profile.
    [[nodiscard]] static std::filesystem::path tempDirFor(const std::filesystem::path &profile);
    // Blank documents kept in a profile to warm an office up with.
    [[nodiscard]] static std::filesystem::path warmUpFolder(const std::filesystem::path &profile);
    // The blank document of that kind (".docx", ...), empty when there is none.
    [[nodiscard]] static std::filesystem::path warmUpDocument(const std::filesystem::path &profile,
                                                              const std::string &extension);
    // "No space left in FOLDER." for the first of the folders (or the
    // nearest folder above one that does not exist yet) whose file system
    // has next to no room left; empty when each has room.
    [[nodiscard]] static std::string noSpaceLeft(const std::vector<std::filesystem::path> &folders);
    // The room left for us on the file system of a folder; none when it
    // cannot be told.
    [[nodiscard]] static std::optional<std::uintmax_t>
    spaceLeft(const std::filesystem::path &folder);
    [[nodiscard]] static std::filesystem::path defaultTemplateDir();
    [[nodiscard]] static std::filesystem::path defaultCopiesDir();

private:
    [[nodiscard]] std::filesystem::path makePrivateDir(const std::string &prefix) const;

    std::filesystem::path m_templateDir;
    std::filesystem::path m_copiesDir;
};

// A file's whole content, empty when it cannot be read.
[[nodiscard]] std::string readWholeFile(const std::filesystem::path &path);

// A random hexadecimal token, for names nobody else can guess.
[[nodiscard]] std::string randomToken();

} // namespace automation
