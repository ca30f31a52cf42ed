#include "LibreOfficeProcessor.h"

#include "BackgroundStarter.h"
#include "CupsJobs.h"
#include "InstanceRegistry.h"
#include "LibreOfficeApplication.h"
#include "OfficeProfiles.h"
#include "RunningOffice.h"
#include "UnoRuntime.h"

#include <algorithm>

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

// An office handed out for one document that, once the document is printed
// without a failure, goes back to the processor for the next one instead of
// ending. Any failure ends it: the next document never shares an office
// with one that failed.
class ReusedOffice : public Application, private Documents
{
public:
    using Keep = std::function<bool(std::unique_ptr<LibreOfficeApplication> &)>;
    ReusedOffice(std::unique_ptr<LibreOfficeApplication> office, Keep keep)
        : m_office(std::move(office)), m_keep(std::move(keep))
    {
    }

    std::string Name() override
    {
        return guarded([&] { return m_office->Name(); });
    }
    Documents &GetDocuments() override { return *this; }
    std::unique_ptr<Document> Open(const std::string &path) override
    {
        return guarded([&] { return m_office->GetDocuments().Open(path); });
    }
    void SetActivePrinter(const std::string &printerName) override
    {
        guarded([&] { m_office->SetActivePrinter(printerName); });
    }
    void PrintOut(bool collate, bool background, const std::string &fileName,
                  const PrintRange &range) override
    {
        guarded([&] { m_office->PrintOut(collate, background, fileName, range); });
    }
    Application &GetApplication() override { return *this; }
    long BackgroundPrintingStatus() override
    {
        return guarded([&] { return m_office->BackgroundPrintingStatus(); });
    }
    void Quit(std::optional<bool> saveChanges) override
    {
        if (!m_office)
            return;
        if (!m_failed && m_keep(m_office))
            return;
        const std::unique_ptr<LibreOfficeApplication> office = std::move(m_office);
        office->Quit(saveChanges);
    }

private:
    template <typename Call> auto guarded(const Call &call) -> decltype(call())
    {
        if (!m_office)
            throw AutomationError("The word processor has ended.");
        try {
            return call();
        } catch (...) {
            m_failed = true;
            throw;
        }
    }

    std::unique_ptr<LibreOfficeApplication> m_office;
    Keep m_keep;
    bool m_failed = false;
};

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
    endAllInstances();
    m_starters.clear(); // their offices are gone: they died with them anyway
}

namespace {

LibreOfficeApplication::Settings settingsFor(const LibreOfficeProcessor::Options &options,
                                             const fs::path &profile, bool ownCopy)
{
    return {options.programDir / "soffice.bin",
            profile,
            ownCopy,
            OfficeProfiles::tempDirFor(profile),
            LibreOfficeProcessor::PipePrefix + randomToken(),
            options.yield,
            options.startTimeout,
            options.callTimeout,
            options.repaint,
            options.idleLimit,
            options.spareMoment};
}

} // namespace

void LibreOfficeProcessor::seedTemplate()
{
    const std::string version = OfficeProfiles::officeVersion(m_options.programDir);
    fs::path seeding = m_profiles->makeSeedingDir();
    // The template that came with the program, when it was made for this
    // version of the office: a copy is all the first start needs.
    const fs::path shipped = m_options.seededTemplateDir;
    if (!shipped.empty() && !version.empty() && OfficeProfiles::setUpVersion(shipped) == version) {
        std::error_code error;
        fs::copy(shipped, seeding, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
                 error);
        if (!error) {
            m_profiles->adoptTemplate(seeding);
            return;
        }
        OfficeProfiles::remove(seeding);
        seeding = m_profiles->makeSeedingDir();
    }
    // Start one instance on a brand-new profile (it restarts itself once
    // after creating it), end it cleanly, and keep that profile.
    try {
        LibreOfficeApplication seeder(settingsFor(m_options, seeding, false), m_runtime,
                                      m_registry);
        seeder.writeWarmUpDocuments();
        seeder.Quit(std::nullopt);
    } catch (...) {
        OfficeProfiles::remove(seeding);
        throw;
    }
    OfficeProfiles::markSetUp(seeding, version);
    m_profiles->adoptTemplate(seeding);
}

void LibreOfficeProcessor::prepareProfiles()
{
    if (!fs::exists(m_options.programDir / "soffice.bin"))
        throw NotInstalled("LibreOffice is not installed (no " +
                           (m_options.programDir / "soffice.bin").string() + ").");
    if (!m_runtime)
        m_runtime = std::make_shared<UnoRuntime>(m_options.programDir);
    if (!m_profiles) {
        m_profiles = std::make_unique<OfficeProfiles>(m_options.templateDir, m_options.copiesDir);
        m_profiles->sweepStaleCopies();
    }
    if (!m_profiles->templateIsSeeded())
        seedTemplate();
}

std::unique_ptr<LibreOfficeApplication> LibreOfficeProcessor::startInstance()
{
    prepareProfiles();
    return std::make_unique<LibreOfficeApplication>(
        settingsFor(m_options, m_profiles->makeCopy(), true), m_runtime, m_registry);
}

std::unique_ptr<Application> LibreOfficeProcessor::createInstance()
{
    // An office started ahead (its one chance), else one that printed the
    // document before and still answers, else a fresh start: whichever did
    // not work out is ended, and the next gets its own chance and report.
    const auto ready = [this](std::deque<std::unique_ptr<LibreOfficeApplication>> &offices,
                              std::size_t tries) -> std::unique_ptr<LibreOfficeApplication> {
        for (; tries > 0 && !offices.empty(); --tries) {
            std::unique_ptr<LibreOfficeApplication> office = std::move(offices.front());
            offices.pop_front();
            try {
                office->finishStarting(m_options.spareGrace);
                return office;
            } catch (const AutomationError &) {
            }
        }
        return {};
    };
    if (auto spare = ready(m_spares, 1))
        return handOut(std::move(spare));
    if (auto idle = ready(m_idle, m_idle.size()))
        return handOut(std::move(idle));
    return handOut(startInstance());
}

std::unique_ptr<Application>
LibreOfficeProcessor::handOut(std::unique_ptr<LibreOfficeApplication> office)
{
    if (m_options.documentsPerOffice <= 1)
        return office;
    if (!m_marks)
        m_marks = std::make_shared<JobMarks>();
    office->setJobMarks(m_marks);
    return std::make_unique<ReusedOffice>(
        std::move(office),
        [this](std::unique_ptr<LibreOfficeApplication> &done) { return keepForNext(done); });
}

bool LibreOfficeProcessor::keepForNext(std::unique_ptr<LibreOfficeApplication> &office)
{
    // Renewed now and then: whatever an office keeps from document to
    // document (caches, fonts, leaks) stays bounded.
    if (office->documentsDone() + 1 >= m_options.documentsPerOffice || !office->recycle() ||
        office->residentKb() > m_options.memoryBoundKb)
        return false;
    m_idle.push_back(std::move(office));
    return true;
}

void LibreOfficeProcessor::endIdle()
{
    while (!m_idle.empty()) {
        const std::unique_ptr<LibreOfficeApplication> office = std::move(m_idle.front());
        m_idle.pop_front();
        try {
            office->Quit(std::nullopt);
        } catch (const AutomationError &) {
            // Ended with its object below.
        }
    }
}

void LibreOfficeProcessor::prepareSpare(const std::string &likeDocument)
{
    if (int(m_spares.size()) >= std::max(1, m_options.sparesAhead))
        return;
    try {
        prepareProfiles();
        if (m_starters.empty())
            for (int i = 0; i < std::max(1, m_options.sparesAhead); ++i)
                m_starters.push_back(std::make_unique<BackgroundStarter>());
        // Everything, the profile copy included, on a starter's thread: the
        // caller goes straight on.
        BackgroundStarter *starter = m_starters[m_nextStarter++ % m_starters.size()].get();
        OfficeProfiles *profiles = m_profiles.get();
        // An office that is done with its document opens the next ahead.
        if (!m_idle.empty()) {
            std::unique_ptr<LibreOfficeApplication> office = std::move(m_idle.front());
            m_idle.pop_front();
            office->openAheadOn(*starter, m_options.openAhead ? likeDocument : std::string(),
                                [profiles] { return profiles->makeCopy(); });
            m_spares.push_back(std::move(office));
            return;
        }
        m_spares.push_back(std::make_unique<LibreOfficeApplication>(
            settingsFor(m_options, fs::path(), true), m_runtime, m_registry,
            LibreOfficeApplication::AheadOfTime{
                [profiles] { return profiles->makeCopy(); },
                fs::path(likeDocument).extension().string(), starter,
                m_options.openAhead ? likeDocument : std::string()}));
    } catch (const AutomationError &) {
        // Nothing lost: the next document starts its office as usual.
    }
}

void LibreOfficeProcessor::dropSpare()
{
    m_spares.clear();
    endIdle();
}

std::unique_ptr<Application> LibreOfficeProcessor::attachToRunning()
{
    if (!usersOfficeRunning())
        throw AutomationError("The word processor is not running.");
    return std::make_unique<RunningOffice>();
}

void LibreOfficeProcessor::abandonAllInstances()
{
    m_registry->endAll(false);
    m_spares.clear();
    m_idle.clear();
}

void LibreOfficeProcessor::endAllInstances()
{
    m_registry->endAll();
    m_spares.clear(); // ended above; their files go now
    m_idle.clear();
}

} // namespace automation
