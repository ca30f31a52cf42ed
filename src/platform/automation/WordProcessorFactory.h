#pragma once

#include "WordAutomation.h"

#include <memory>

namespace automation {

// The word processor of this platform: LibreOffice on Linux, Word on Windows.
// yield handles the window's events while the layer waits; repaint only keeps
// the window painted while one call into the word processor is under way.
[[nodiscard]] std::unique_ptr<WordProcessor> makeWordProcessor(YieldFunction yield,
                                                               YieldFunction repaint = {});

} // namespace automation
