#pragma once

// The members the stand-in Word answers, object by object, each with the
// argument names Microsoft's Word VBA reference gives it, in its order (a
// named argument's DISPID is its position, as in Word's type library). A
// name that is not in its object's table fails with DISP_E_UNKNOWNNAME, as
// Word's own look-up does.

#include <windows.h>

#include <initializer_list>

namespace standin {

enum class Kind
{
    Application,
    Documents,
    Document,
    Window,
    WordBasic,
    Options
};

struct MemberInfo
{
    const wchar_t *name;
    DISPID id;
    std::initializer_list<const wchar_t *> arguments;
};

// Documents.Open and Documents.OpenNoRepairDialog take the same arguments.
#define STANDIN_OPEN_ARGUMENTS                                                                     \
    {                                                                                              \
        L"FileName", L"ConfirmConversions", L"ReadOnly", L"AddToRecentFiles", L"PasswordDocument", \
            L"PasswordTemplate", L"Revert", L"WritePasswordDocument", L"WritePasswordTemplate",    \
            L"Format", L"Encoding", L"Visible", L"OpenAndRepair", L"DocumentDirection",            \
            L"NoEncodingDialog", L"XMLTransform"                                                   \
    }
// Application.Quit and Document.Close.
#define STANDIN_CLOSE_ARGUMENTS                                                                    \
    {                                                                                              \
        L"SaveChanges", L"OriginalFormat", L"RouteDocument"                                        \
    }

inline const MemberInfo applicationMembers[] = {
    {L"Name", DISPID_VALUE, {}},
    {L"Application", 1, {}},
    {L"Documents", 2, {}},
    {L"ActivePrinter", 3, {}},
    {L"PrintOut",
     4,
     {L"Background", L"Append", L"Range", L"OutputFileName", L"From", L"To", L"Item", L"Copies",
      L"Pages", L"PageType", L"PrintToFile", L"Collate", L"FileName", L"ActivePrinterMacGX",
      L"ManualDuplexPrint", L"PrintZoomColumn", L"PrintZoomRow", L"PrintZoomPaperWidth",
      L"PrintZoomPaperHeight"}},
    {L"BackgroundPrintingStatus", 5, {}},
    {L"Quit", 6, STANDIN_CLOSE_ARGUMENTS},
    {L"AutomationSecurity", 7, {}},
    {L"DisplayAlerts", 8, {}},
    {L"WordBasic", 9, {}},
    {L"Options", 10, {}},
    {L"Visible", 11, {}},
};

inline const MemberInfo documentsMembers[] = {
    {L"Application", 1, {}},
    {L"Open", 20, STANDIN_OPEN_ARGUMENTS},
    {L"OpenNoRepairDialog", 21, STANDIN_OPEN_ARGUMENTS},
    {L"Count", 22, {}},
};

inline const MemberInfo documentMembers[] = {
    {L"Application", 1, {}},   {L"Close", 30, STANDIN_CLOSE_ARGUMENTS},
    {L"ActiveWindow", 31, {}}, {L"Name", 32, {}},
    {L"FullName", 33, {}},
};

inline const MemberInfo windowMembers[] = {
    {L"Application", 1, {}},
    {L"Hwnd", 40, {}},
    {L"Visible", 41, {}},
};

// WordBasic is reached late-bound only; FilePrintSetup's arguments are
// those of the WordBasic statement.
inline const MemberInfo wordBasicMembers[] = {
    {L"FilePrintSetup", 50, {L"Printer", L"Options", L"Network", L"DoNotSetAsSysDefault"}},
};

inline const MemberInfo optionsMembers[] = {
    {L"Application", 1, {}},
    {L"UpdateLinksAtOpen", 60, {}},
    {L"UpdateFieldsAtPrint", 61, {}},
    {L"UpdateLinksAtPrint", 62, {}},
};

#undef STANDIN_OPEN_ARGUMENTS
#undef STANDIN_CLOSE_ARGUMENTS

template <typename Visit> void forEachMember(Kind kind, Visit visit)
{
    auto each = [&visit](const auto &table) {
        for (const MemberInfo &member : table)
            visit(member);
    };
    switch (kind) {
    case Kind::Application:
        return each(applicationMembers);
    case Kind::Documents:
        return each(documentsMembers);
    case Kind::Document:
        return each(documentMembers);
    case Kind::Window:
        return each(windowMembers);
    case Kind::WordBasic:
        return each(wordBasicMembers);
    case Kind::Options:
        return each(optionsMembers);
    }
}

} // namespace standin
