#pragma once

#include "PrinterList.h"

// The CUPS destinations of the scheduler that CUPS_SERVER (or the user's
// client configuration) names.
class CupsPrinterList : public PrinterList
{
public:
    [[nodiscard]] QStringList printerNames() const override;
    [[nodiscard]] QString defaultPrinterName() const override;
    [[nodiscard]] bool acceptsJobs(const QString &name) const override;
};
