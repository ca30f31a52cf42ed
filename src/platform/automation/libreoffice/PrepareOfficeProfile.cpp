// Build step: prepares the office profile that the program ships, so that its
// first start copies a set-up profile instead of setting one up (seconds).
//   prepare_office_profile TARGET_DIR
// Leaves TARGET_DIR alone when it already holds a profile for this office.

#include "LibreOfficeProcessor.h"
#include "OfficeProfiles.h"

#include <cstdio>
#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: prepare_office_profile TARGET_DIR\n");
        return 2;
    }
    const fs::path target = fs::absolute(argv[1]);
    automation::LibreOfficeProcessor::Options options;
    const std::string version = automation::OfficeProfiles::officeVersion(options.programDir);
    if (!version.empty() && automation::OfficeProfiles::setUpVersion(target) == version &&
        fs::is_directory(automation::OfficeProfiles::warmUpFolder(target)))
        return 0;
    std::error_code error;
    fs::remove_all(target, error);
    options.templateDir = target;
    options.copiesDir = fs::temp_directory_path() / "marrowlake-build-profile";
    try {
        automation::LibreOfficeProcessor office(options);
        office.createInstance()->Quit(false);
    } catch (const std::exception &e) {
        // Not fatal: without it the program sets a profile up at first start.
        std::fprintf(stderr, "prepare_office_profile: %s\n", e.what());
        fs::remove_all(target, error);
    }
    return 0;
}
