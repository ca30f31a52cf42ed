#include "ListDocuments.h"

#include "ListView1.h"

#include <stdexcept>

ListDocuments::ListDocuments(ListView1 *list) : m_list(list) {}

int ListDocuments::count() const
{
    return m_list ? m_list->count() : 0;
}

QString ListDocuments::pathAt(int position) const
{
    if (!m_list)
        throw std::out_of_range("Object required");
    return m_list->pathAt(position);
}
