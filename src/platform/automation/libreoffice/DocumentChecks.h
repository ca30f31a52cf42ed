#pragma once

#include <filesystem>
#include <string>

namespace automation {

// Whether a file is a compound (OLE) file whose content is locked away: an
// encrypted Office document (an "EncryptedPackage" stream) or a
// rights-managed one (a "\x06DataSpaces" storage). The office cannot print
// such a file; at best it prints a placeholder page.
[[nodiscard]] bool isProtectedCompoundFile(const std::filesystem::path &path);

// The office's failure text as a user may read it: without the source
// locations of the office's own code, and without its internal wording for
// a file it could not recognise.
[[nodiscard]] std::string plainOfficeMessage(const std::string &message);

} // namespace automation
