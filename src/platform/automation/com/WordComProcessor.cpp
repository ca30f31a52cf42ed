#include "WordComProcessor.h"

#include "ProcessClaim.h"
#include "WordComApplication.h"

#include <objbase.h>
#include <tlhelp32.h>

namespace automation {

namespace {

// The running WINWORD.EXE processes.
std::set<DWORD> wordProcesses()
{
    std::set<DWORD> pids;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"WINWORD.EXE") == 0)
            pids.insert(entry.th32ProcessID);
    CloseHandle(snapshot);
    return pids;
}

CLSID wordClass()
{
    CLSID clsid{};
    const HRESULT hr = CLSIDFromProgID(L"Word.Application", &clsid);
    if (FAILED(hr))
        throw AutomationError(ComDispatch::describe(hr, nullptr));
    return clsid;
}

} // namespace

WordComProcessor::WordComProcessor(YieldFunction busyYield, std::chrono::milliseconds callTimeout)
    : m_busyYield(std::move(busyYield)), m_callTimeout(callTimeout),
      m_live(std::make_shared<std::set<WordComApplication *>>())
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

std::unique_ptr<Application> WordComProcessor::createInstance()
{
    const CLSID clsid = wordClass();
    // The Word process that appears with the instance is ours, when it is
    // the only one that appears: it can be ended when Word stops answering.
    // It is held from now on, so that its number cannot pass to another
    // process meanwhile.
    const std::set<DWORD> before = wordProcesses();
    IDispatch *dispatch = nullptr;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER,
                                        IID_IDispatch, reinterpret_cast<void **>(&dispatch));
    if (FAILED(hr))
        throw AutomationError(ComDispatch::describe(hr, nullptr));
    std::shared_ptr<void> process;
    if (const DWORD ours = processToClaim(before, wordProcesses()))
        if (HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ours))
            process = std::shared_ptr<void>(handle, CloseHandle);
    return std::make_unique<WordComApplication>(
        ComDispatch(dispatch),
        WordComApplication::Ownership{m_live, m_busyYield, process, m_callTimeout});
}

std::unique_ptr<Application> WordComProcessor::attachToRunning()
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
    return std::make_unique<WordComApplication>(
        ComDispatch(dispatch),
        WordComApplication::Ownership{nullptr, m_busyYield, nullptr, m_callTimeout});
}

void WordComProcessor::endAllInstances()
{
    // Instances this program created and has not quit: end them without
    // saving, so none is left running unseen after the program.
    const std::set<WordComApplication *> live = *m_live;
    for (WordComApplication *application : live)
        application->end();
}

} // namespace automation
