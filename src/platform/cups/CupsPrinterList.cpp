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

bool CupsPrinterList::acceptsJobs(const QString &name) const
{
    // Asked anew each time: the scheduler's answer, not a cached one.
    bool accepts = false;
    forEachDestination([&](const cups_dest_t &d) {
        if (d.instance || QString::fromUtf8(d.name) != name)
            return;
        const char *accepting =
            cupsGetOption("printer-is-accepting-jobs", d.num_options, d.options);
        const char *state = cupsGetOption("printer-state", d.num_options, d.options);
        accepts = (!accepting || QByteArray(accepting) == "true") &&
                  (!state || QByteArray(state) != "5"); // 5: stopped
    });
    return accepts;
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
