#pragma once

#include "PrinterList.h"

class FakePrinterList : public PrinterList
{
public:
    QStringList printerNames() const override { return names; }
    QString defaultPrinterName() const override { return defaultName; }

    QStringList names;
    QString defaultName;
};
