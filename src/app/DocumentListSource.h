#pragma once

#include "DocumentSource.h"

#include <QPointer>

class DocumentListView;

// The print run's view of the document list.
class DocumentListSource : public DocumentSource
{
public:
    explicit DocumentListSource(DocumentListView *list);
    [[nodiscard]] int count() const override;
    [[nodiscard]] QString pathAt(int position) const override;

private:
    QPointer<DocumentListView> m_list;
};
