#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <sys/types.h>

namespace automation {

// The office instances that are alive now, so that all of them can be ended
// at once when the program ends in the middle of a document.
class InstanceRegistry
{
public:
    using Ender = std::function<void()>;

    void add(const void *instance, Ender ender);
    void remove(const void *instance);
    void endAll();

private:
    std::mutex m_mutex;
    std::map<const void *, Ender> m_enders;
};

} // namespace automation
