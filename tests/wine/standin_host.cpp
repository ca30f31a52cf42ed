// Runs a stand-in Word instance in a process of its own and registers it in
// the Running Object Table, as a running Word does, until STOPFILE appears.
//   standin_host READYFILE STOPFILE

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 3)
        return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(L"Word.Application", &clsid)))
        return 3;
    IUnknown *word = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void **>(&word))))
        return 4;
    DWORD cookie = 0;
    if (FAILED(RegisterActiveObject(word, clsid, ACTIVEOBJECT_STRONG, &cookie)))
        return 5;
    if (FILE *ready = std::fopen(argv[1], "w"))
        std::fclose(ready);
    // Serve calls from other processes until told to stop.
    for (int i = 0; i < 1200; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    RevokeActiveObject(cookie, nullptr);
    word->Release();
    CoUninitialize();
    return 0;
}
