#pragma once

#include "WordAutomation.h"

#include <memory>

namespace automation {

// The word processor of this platform: LibreOffice on Linux, Word on Windows.
[[nodiscard]] std::unique_ptr<WordProcessor> makeWordProcessor(YieldFunction yield);

} // namespace automation
