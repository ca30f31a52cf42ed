#pragma once

#include <set>

namespace automation {

// The process to take as the one an instance of ours started: the only one
// that appeared between a snapshot before creating the instance and one
// after. When none or several appeared (the user started the same program
// at that moment), none is certainly ours, and none is claimed (0): ending a
// process taken wrongly would end the user's own work.
template <typename Id>
[[nodiscard]] Id processToClaim(const std::set<Id> &before, const std::set<Id> &after)
{
    Id claimed{};
    int appeared = 0;
    for (const Id id : after)
        if (!before.count(id)) {
            claimed = id;
            ++appeared;
        }
    return appeared == 1 ? claimed : Id{};
}

} // namespace automation
