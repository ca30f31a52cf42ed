#pragma once

namespace automation {

// The moments of an office started ahead: its process has started, it is
// connected, it is warmed up (its document opened ahead), its document's
// turn has come, and it has been handed to its document.
enum class SpareMoment
{
    Started,
    Connected,
    WarmedUp,
    Turn,
    HandedOver
};

} // namespace automation
