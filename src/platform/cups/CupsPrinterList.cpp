#include "CupsPrinterList.h"

#include <cups/cups.h>

namespace {

template <typename Visit> void forEachDestination(Visit visit)
{
    cups_dest_t *destinations = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &destinations);
    for (int i = 0; i < count; ++i)
        visit(destinations[i]);
    cupsFreeDests(count, destinations);
}

} // namespace

QStringList CupsPrinterList::printerNames() const
{
    QStringList names;
    forEachDestination([&](const cups_dest_t &d) {
        if (!d.instance) // instances are option sets of a queue, not printers
            names << QString::fromUtf8(d.name);
    });
    return names;
}

QString CupsPrinterList::defaultPrinterName() const
{
    QString name;
    forEachDestination([&](const cups_dest_t &d) {
        if (d.is_default && !d.instance)
            name = QString::fromUtf8(d.name);
    });
    return name;
}
