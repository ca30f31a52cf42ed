#include "WordComProcessor.h"

#include "WordComApplication.h"

#include <objbase.h>

namespace automation {

namespace {

CLSID wordClass()
{
    CLSID clsid{};
    const HRESULT hr = CLSIDFromProgID(L"Word.Application", &clsid);
    if (FAILED(hr))
        throw AutomationError(ComDispatch::describe(hr, nullptr));
    return clsid;
}

} // namespace

WordComProcessor::WordComProcessor() : m_live(std::make_shared<std::set<WordComApplication *>>())
{
    // The window's thread may have set up COM already (OLE drag and drop).
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_uninitialize = SUCCEEDED(hr);
}

WordComProcessor::~WordComProcessor()
{
    if (m_uninitialize)
        CoUninitialize();
}

std::unique_ptr<Application> WordComProcessor::CreateInstance()
{
    const CLSID clsid = wordClass();
    IDispatch *dispatch = nullptr;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER,
                                        IID_IDispatch, reinterpret_cast<void **>(&dispatch));
    if (FAILED(hr))
        throw AutomationError(ComDispatch::describe(hr, nullptr));
    return std::make_unique<WordComApplication>(ComDispatch(dispatch), m_live);
}

std::unique_ptr<Application> WordComProcessor::AttachToRunning()
{
    const CLSID clsid = wordClass();
    IUnknown *unknown = nullptr;
    HRESULT hr = GetActiveObject(clsid, nullptr, &unknown);
    if (FAILED(hr))
        throw AutomationError(ComDispatch::describe(hr, nullptr));
    IDispatch *dispatch = nullptr;
    hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&dispatch));
    unknown->Release();
    if (FAILED(hr))
        throw AutomationError(ComDispatch::describe(hr, nullptr));
    // The user's own Word: not ours to end.
    return std::make_unique<WordComApplication>(ComDispatch(dispatch), nullptr);
}

void WordComProcessor::EndAllInstances()
{
    // Instances this program created and has not quit: end them without
    // saving, so none is left running unseen after the program.
    const std::set<WordComApplication *> live = *m_live;
    for (WordComApplication *application : live) {
        try {
            application->Quit(false);
        } catch (const AutomationError &) {
        }
    }
}

} // namespace automation
