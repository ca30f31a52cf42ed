#pragma once

#include <QString>
#include <QStringList>

// The system's printers, by the names print jobs are addressed to.
class PrinterList
{
public:
    virtual ~PrinterList() = default;
    [[nodiscard]] virtual QStringList printerNames() const = 0;
    // Empty when the system has no default printer.
    [[nodiscard]] virtual QString defaultPrinterName() const = 0;
    // Whether the printer is there and takes jobs now (its queue is not
    // stopped or rejecting, its scheduler answers).
    [[nodiscard]] virtual bool acceptsJobs(const QString &name) const
    {
        return printerNames().contains(name);
    }
};
