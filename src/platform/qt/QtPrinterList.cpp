#include "QtPrinterList.h"

#include <QPrinterInfo>

QStringList QtPrinterList::printerNames() const
{
    return QPrinterInfo::availablePrinterNames();
}

QString QtPrinterList::defaultPrinterName() const
{
    return QPrinterInfo::defaultPrinterName();
}
