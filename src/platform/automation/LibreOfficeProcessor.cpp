#include "LibreOfficeProcessor.h"

#include "InstanceRegistry.h"
#include "LibreOfficeApplication.h"
#include "OfficeProfiles.h"
#include "RunningOffice.h"
#include "UnoRuntime.h"

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace automation {

namespace {

// A soffice.bin of the current user that is not one of our private instances.
bool usersOfficeRunning()
{
    std::error_code error;
    for (const auto &entry : fs::directory_iterator("/proc", error)) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        struct stat info
        {
        };
        if (::stat(entry.path().c_str(), &info) != 0 || info.st_uid != getuid())
            continue;
        const std::string comm = readWholeFile(entry.path() / "comm");
        if (comm.rfind("soffice.bin", 0) != 0)
            continue;
        // A zombie has ended already (its command line reads empty).
        const std::string cmdline = readWholeFile(entry.path() / "cmdline");
        if (cmdline.empty())
            continue;
        if (cmdline.find(std::string("pipe,name=") + LibreOfficeProcessor::PipePrefix) ==
            std::string::npos)
            return true;
    }
    return false;
}

} // namespace

LibreOfficeProcessor::LibreOfficeProcessor(Options options)
    : m_options(std::move(options)), m_registry(std::make_shared<InstanceRegistry>())
{
    if (m_options.templateDir.empty())
        m_options.templateDir = OfficeProfiles::defaultTemplateDir();
    if (m_options.copiesDir.empty())
        m_options.copiesDir = OfficeProfiles::defaultCopiesDir();
}

LibreOfficeProcessor::~LibreOfficeProcessor()
{
    EndAllInstances();
}

void LibreOfficeProcessor::seedTemplate()
{
    // Start one instance on a brand-new profile (it restarts itself once
    // after creating it), end it cleanly, and keep that profile.
    const fs::path seeding = m_profiles->makeSeedingDir();
    try {
        LibreOfficeApplication seeder(
            {m_options.programDir / "soffice.bin", seeding, false, seeding.string() + "-tmp",
             PipePrefix + randomToken(), m_options.yield, m_options.startTimeout,
             m_options.callTimeout, m_options.repaint, m_options.idleLimit},
            m_runtime, m_registry);
        seeder.Quit(std::nullopt);
    } catch (...) {
        OfficeProfiles::remove(seeding);
        throw;
    }
    OfficeProfiles::markSetUp(seeding, OfficeProfiles::officeVersion(m_options.programDir));
    m_profiles->adoptTemplate(seeding);
}

std::unique_ptr<Application> LibreOfficeProcessor::CreateInstance()
{
    if (!fs::exists(m_options.programDir / "soffice.bin"))
        throw AutomationError("LibreOffice is not installed (no " +
                              (m_options.programDir / "soffice.bin").string() + ").");
    if (!m_runtime)
        m_runtime = std::make_shared<UnoRuntime>(m_options.programDir);
    if (!m_profiles) {
        m_profiles = std::make_unique<OfficeProfiles>(m_options.templateDir, m_options.copiesDir);
        m_profiles->sweepStaleCopies();
    }
    if (!m_profiles->templateIsSeeded())
        seedTemplate();
    const fs::path copy = m_profiles->makeCopy();
    return std::make_unique<LibreOfficeApplication>(
        LibreOfficeApplication::Settings{
            m_options.programDir / "soffice.bin", copy, true, copy.string() + "-tmp",
            PipePrefix + randomToken(), m_options.yield, m_options.startTimeout,
            m_options.callTimeout, m_options.repaint, m_options.idleLimit},
        m_runtime, m_registry);
}

std::unique_ptr<Application> LibreOfficeProcessor::AttachToRunning()
{
    if (!usersOfficeRunning())
        throw AutomationError("The word processor is not running.");
    return std::make_unique<RunningOffice>();
}

void LibreOfficeProcessor::EndAllInstances()
{
    m_registry->endAll();
}

} // namespace automation
