#pragma once

#include "DocumentSource.h"

#include <QPointer>

class ListView1;

// The print run's view of the document list.
class ListDocuments : public DocumentSource
{
public:
    explicit ListDocuments(ListView1 *list);
    [[nodiscard]] int count() const override;
    [[nodiscard]] QString pathAt(int position) const override;

private:
    QPointer<ListView1> m_list;
};
