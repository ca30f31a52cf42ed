#include "DocumentListSource.h"

#include "DocumentListView.h"

#include <stdexcept>

DocumentListSource::DocumentListSource(DocumentListView *list) : m_list(list) {}

int DocumentListSource::count() const
{
    return m_list ? m_list->count() : 0;
}

QString DocumentListSource::pathAt(int position) const
{
    if (!m_list)
        throw std::out_of_range("Object required");
    return m_list->pathAt(position);
}
