#include "FakeWordProcessor.h"

namespace {

class FakeDocument : public automation::Document
{
};

class FakeApplication : public automation::Application, public automation::Documents
{
public:
    FakeApplication(FakeWordProcessor &owner, int id, std::string name)
        : m_owner(owner), m_id(id), m_name(std::move(name))
    {
        ++m_owner.log->alive;
    }
    ~FakeApplication() override { --m_owner.log->alive; }

    std::string Name() override { return m_name; }
    automation::Documents &GetDocuments() override
    {
        call("Documents", "");
        return *this;
    }
    std::unique_ptr<automation::Document> Open(const std::string &path) override
    {
        call("Open", path);
        if (auto it = m_owner.unopenable.find(path); it != m_owner.unopenable.end())
            throw automation::AutomationError(it->second);
        // A copy of the document under its own name (a print station's).
        const std::string name = path.substr(path.find_last_of('/') + 1);
        if (auto it = m_owner.unopenable.find(name); it != m_owner.unopenable.end())
            throw automation::AutomationError(it->second + path);
        return std::make_unique<FakeDocument>();
    }
    void SetActivePrinter(const std::string &printer) override
    {
        call("SetActivePrinter", printer);
        m_printer = printer;
    }
    void PrintOut(bool collate, bool background, const std::string &fileName,
                  const automation::PrintRange &) override
    {
        call("PrintOut", std::string(collate ? "true" : "false") + "," +
                             (background ? "true" : "false") + "," + fileName);
        m_pending = m_owner.pendingReadings;
        if (m_owner.onPrint)
            m_owner.onPrint(fileName, m_printer);
    }
    automation::Application &GetApplication() override
    {
        call("Application", "");
        return *this;
    }
    long BackgroundPrintingStatus() override
    {
        call("BackgroundPrintingStatus", "");
        return m_pending > 0 ? m_pending-- : 0;
    }
    void Quit(std::optional<bool> save) override
    {
        call("Quit", save ? (*save ? "true" : "false") : "");
    }

private:
    void call(const std::string &member, const std::string &args)
    {
        m_owner.log->calls.push_back(std::to_string(m_id) + ":" + member + "(" + args + ")");
        if (auto it = m_owner.failures.find(member); it != m_owner.failures.end())
            throw automation::AutomationError(it->second);
    }

    FakeWordProcessor &m_owner;
    int m_id;
    std::string m_name;
    std::string m_printer;
    long m_pending = 0;
};

} // namespace

std::unique_ptr<automation::Application> FakeWordProcessor::createInstance()
{
    if (notInstalled)
        throw automation::NotInstalled("Word is not installed on this computer.");
    if (auto it = failures.find("CreateInstance"); it != failures.end())
        throw automation::SystemFailure(it->second);
    const int id = ++log->instances;
    log->calls.push_back(std::to_string(id) + ":CreateInstance()");
    return std::make_unique<FakeApplication>(*this, id, "Microsoft Word");
}

std::unique_ptr<automation::Application> FakeWordProcessor::attachToRunning()
{
    if (runningName.empty())
        throw automation::AutomationError("Operation unavailable");
    return std::make_unique<FakeApplication>(*this, 0, runningName);
}

std::vector<std::string> FakeWordProcessor::printed() const
{
    std::vector<std::string> paths;
    for (const auto &c : log->calls) {
        const auto at = c.find(":PrintOut(true,false,");
        if (at != std::string::npos)
            paths.push_back(c.substr(at + 21, c.size() - at - 22));
    }
    return paths;
}
