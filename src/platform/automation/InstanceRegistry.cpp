#include "InstanceRegistry.h"

#include <vector>

namespace automation {

void InstanceRegistry::add(const void *instance, Ender ender)
{
    std::lock_guard lock(m_mutex);
    m_enders[instance] = std::move(ender);
}

void InstanceRegistry::remove(const void *instance)
{
    std::lock_guard lock(m_mutex);
    m_enders.erase(instance);
}

void InstanceRegistry::endAll()
{
    std::vector<Ender> enders;
    {
        std::lock_guard lock(m_mutex);
        for (auto &[instance, ender] : m_enders)
            enders.push_back(ender);
        m_enders.clear();
    }
    for (auto &ender : enders)
        ender();
}

} // namespace automation
