#pragma once

#include <QString>

// What a print run reads of the document list, at the moment it reads it.
class DocumentSource
{
public:
    virtual ~DocumentSource() = default;
    [[nodiscard]] virtual int count() const = 0;
    // The path at a 1-based position; throws std::out_of_range when there is
    // no such position (any more).
    [[nodiscard]] virtual QString pathAt(int position) const = 0;
};
