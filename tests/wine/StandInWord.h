#pragma once

// What the stand-in Word does besides answering calls: what its
// environment tells it, its log, the questions it asks (that nobody sees
// in an invisible Word), and the print jobs it makes.

#include <windows.h>

#include <string>

namespace standin {

[[nodiscard]] std::string narrow(const wchar_t *text);
[[nodiscard]] std::wstring wide(const std::string &text);
// The environment the creating program handed on; fallback when unset.
[[nodiscard]] std::string env(const char *name, const char *fallback = "");
[[nodiscard]] int envNumber(const char *name, int fallback = 0);
// Appends a line to WORD_STANDIN_LOG.
void log(const std::string &line);
[[nodiscard]] std::string show(const VARIANT &value);
[[nodiscard]] long number(const VARIANT &value);

// The window Word's documents are shown in: a hidden top-level window until
// a user takes the instance over.
extern HWND documentWindow;
// A modal dialog is open: calls from outside are refused as busy, as Word
// refuses them (its message filter answers SERVERCALL_RETRYLATER).
extern bool dialogOpen;

// Shows a dialog of Word's with this title, visible although Word is not,
// and waits for an answer that never comes: the process runs its modal loop
// until it is ended.
[[noreturn]] void askNobody(const std::wstring &title);
// Opens a dialog and returns: the user's own question, left open.
void openDialog(const std::wstring &title);
// Works for the given seconds, using the processor all the while.
void work(int seconds);

// The Windows default printer (the user's "Device" setting), and making a
// printer that.
[[nodiscard]] std::wstring defaultPrinter();
void makeDefaultPrinter(const std::wstring &printer);
[[nodiscard]] bool printerExists(const std::wstring &printer);
// A printer whose port asks for a file name for every job (FILE:, and
// PORTPROMPT: of Microsoft Print to PDF and the XPS Document Writer).
[[nodiscard]] bool portAsksForFile(const std::wstring &printer);
// A print job on the printer titled with the document's name, one page a
// copy, through GDI as Word prints; false when the printer takes none.
[[nodiscard]] bool printJob(const std::wstring &printer, const std::wstring &title, int copies);

} // namespace standin
