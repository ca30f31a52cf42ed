#include "WordComApplication.h"

namespace automation {

namespace {

class WordComDocument : public Document
{
public:
    explicit WordComDocument(ComDispatch document) : m_document(std::move(document)) {}

private:
    ComDispatch m_document; // held, never used, released with the call
};

} // namespace

WordComApplication::WordComApplication(ComDispatch application,
                                       std::shared_ptr<std::set<WordComApplication *>> live)
    : m_application(std::move(application)), m_live(std::move(live))
{
    if (m_live)
        m_live->insert(this);
}

WordComApplication::~WordComApplication()
{
    if (m_live)
        m_live->erase(this);
}

std::string WordComApplication::Name()
{
    return m_application.getDefault().toUtf8();
}

Documents &WordComApplication::GetDocuments()
{
    m_documents = ComDispatch(m_application.get("Documents").takeDispatch());
    return *this;
}

std::unique_ptr<Document> WordComApplication::Open(const std::string &path)
{
    if (m_documents.isNull())
        GetDocuments();
    return std::make_unique<WordComDocument>(
        ComDispatch(m_documents.call("Open", {ComVariant(path)}).takeDispatch()));
}

void WordComApplication::SetActivePrinter(const std::string &printerName)
{
    m_application.put("ActivePrinter", ComVariant(printerName));
}

void WordComApplication::PrintOut(bool collate, bool background, const std::string &fileName)
{
    m_application.call("PrintOut", {},
                       {{"Collate", ComVariant(collate)},
                        {"Background", ComVariant(background)},
                        {"fileName", ComVariant(fileName)}});
}

Application &WordComApplication::GetApplication()
{
    m_applicationView = std::make_unique<WordComApplication>(
        ComDispatch(m_application.get("Application").takeDispatch()), nullptr);
    return *m_applicationView;
}

long WordComApplication::BackgroundPrintingStatus()
{
    return m_application.get("BackgroundPrintingStatus").toLong();
}

void WordComApplication::Quit(std::optional<bool> saveChanges)
{
    if (saveChanges)
        m_application.call("Quit", {ComVariant(*saveChanges)});
    else
        m_application.call("Quit");
    if (m_live)
        m_live->erase(this);
}

} // namespace automation
