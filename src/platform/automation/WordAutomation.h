#pragma once

// The word processor's automation object model, as far as the program uses it.
// Plain C++ without Qt, so that the Windows implementation (Word over COM) can
// be cross-built and tested on its own. Every call reports a failure by
// throwing AutomationError, whose text is the description the error report
// shows.

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace automation {

class AutomationError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A failure of the word processor or of the system it runs on (it cannot
// start, its disk is full), not of the document: the same document prints
// once that is mended.
class SystemFailure : public AutomationError
{
public:
    using AutomationError::AutomationError;
};

// The word processor is not installed at all: nothing prints until it is.
class NotInstalled : public SystemFailure
{
public:
    using SystemFailure::SystemFailure;
};

// Called while the layer waits for the word processor (an instance starting,
// a job spooling), so the caller's window keeps handling its events.
using YieldFunction = std::function<void()>;

class Document
{
public:
    virtual ~Document() = default;
};

class Documents
{
public:
    virtual ~Documents() = default;
    // Opens the document at the full path in this instance.
    [[nodiscard]] virtual std::unique_ptr<Document> Open(const std::string &path) = 0;
};

// How much of a document to print: its pages as the print dialogs take
// them ("1-3,5"; empty for all) and the number of copies.
struct PrintRange
{
    int copies = 1;
    std::string pages;
};

class Application
{
public:
    virtual ~Application() = default;

    // The default member: the product's name ("Microsoft Word" for Word).
    [[nodiscard]] virtual std::string Name() = 0;
    [[nodiscard]] virtual Documents &GetDocuments() = 0;
    virtual void SetActivePrinter(const std::string &printerName) = 0;
    virtual void PrintOut(bool collate, bool background, const std::string &fileName,
                          const PrintRange &range) = 0;
    // The Application property: the same application object.
    [[nodiscard]] virtual Application &GetApplication() = 0;
    // Number of print jobs of this instance not yet handed to the spooler.
    [[nodiscard]] virtual long BackgroundPrintingStatus() = 0;
    // Ends the instance; saveChanges is passed only when given.
    virtual void Quit(std::optional<bool> saveChanges) = 0;
};

// The class "Word.Application": new instances, and the running one.
class WordProcessor
{
public:
    virtual ~WordProcessor() = default;

    [[nodiscard]] virtual std::unique_ptr<Application> createInstance() = 0;
    // Attaches to an instance that is running already; fails when there is none.
    [[nodiscard]] virtual std::unique_ptr<Application> attachToRunning() = 0;
    // The name a running instance of this word processor answers with.
    [[nodiscard]] virtual std::string expectedName() const = 0;
    // Ends every instance this object started that is still alive, at once;
    // a job on its way to the scheduler is let arrive.
    virtual void endAllInstances() = 0;
    // As endAllInstances, but a job on its way to the scheduler is not
    // waited for: it is cancelled where the layer can tell it is ours.
    virtual void abandonAllInstances() { endAllInstances(); }
    // Starts the word processor for a document to come ahead of time, so
    // that a later createInstance finds it ready (the oldest first); no more
    // than the layer's limit wait at a time (one unless it was told more).
    // likeDocument: a document of the kind that probably comes.
    virtual void prepareSpare(const std::string &likeDocument) { (void)likeDocument; }
    // Ends the instances started ahead of time when no document needs them.
    virtual void dropSpare() {}
    // Whether an instance may be ended in the middle of a call without harm
    // to anyone: true for a private instance of ours alone. Word may be in
    // the user's hands and is ended only once its call is back (or at a
    // second interruption).
    [[nodiscard]] virtual bool endsSafelyMidCall() const { return true; }
};

} // namespace automation
