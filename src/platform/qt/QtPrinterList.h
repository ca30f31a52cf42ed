#pragma once

#include "PrinterList.h"

// The system's printers as Qt's print support lists them (Windows).
class QtPrinterList : public PrinterList
{
public:
    [[nodiscard]] QStringList printerNames() const override;
    [[nodiscard]] QString defaultPrinterName() const override;
};
