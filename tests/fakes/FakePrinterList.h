#pragma once

#include "PrinterList.h"

#include <functional>

class FakePrinterList : public PrinterList
{
public:
    QStringList printerNames() const override { return names; }
    QString defaultPrinterName() const override { return defaultName; }
    bool acceptsJobs(const QString &name) const override
    {
        return accepting ? accepting(name) : names.contains(name);
    }

    QStringList names;
    QString defaultName;
    // When set: whether the printer takes jobs now.
    std::function<bool(const QString &name)> accepting;
};
