#include "CommandLinePrint.h"

#include "AddFolder.h"
#include "PrintOptions.h"
#include "PrintSequence.h"
#include "PrinterList.h"
#include "SettingsStore.h"
#include "WordAutomation.h"

namespace {

int storedPosition(const SettingsStore &settings, const QString &key, int count)
{
    bool ok = false;
    const int position = settings.read(key, QString()).trimmed().toInt(&ok);
    return ok && position >= 0 && position < count ? position : -1;
}

} // namespace

CommandLinePrint::CommandLinePrint(automation::WordProcessor &wordProcessor, PrinterList &printers,
                                   const SettingsStore &settings, Wait waitSeconds, Yield yield,
                                   Output out, Output err)
    : m_word(wordProcessor), m_printers(printers), m_settings(settings),
      m_wait(std::move(waitSeconds)), m_yield(std::move(yield)), m_out(std::move(out)),
      m_err(std::move(err))
{
}

int CommandLinePrint::listPrinters()
{
    const QString defaultName = m_printers.defaultPrinterName();
    for (const QString &name : m_printers.printerNames())
        m_out(name == defaultName ? name + QStringLiteral(" (default)") : name);
    return 0;
}

QString CommandLinePrint::summary() const
{
    return QStringLiteral("%1 printed, %2 not printed").arg(m_printed).arg(m_failed);
}

int CommandLinePrint::print(const CommandLine &line)
{
    // The printer is settled before anything prints: an unknown name never
    // falls back to another printer.
    const QStringList printers = m_printers.printerNames();
    QString printer;
    if (line.printer) {
        if (!printers.contains(*line.printer)) {
            m_err(QStringLiteral("marrowlake: there is no printer named \"%1\" (see "
                                 "--list-printers)")
                      .arg(*line.printer));
            return 2;
        }
        printer = *line.printer;
    } else {
        bool ok = false;
        const int stored =
            PrintOptions::storedPrinterPosition(m_settings, printers, QString()).toInt(&ok);
        printer = ok && stored >= 0 && stored < printers.size() ? printers[stored]
                                                                : m_printers.defaultPrinterName();
        if (printer.isEmpty()) {
            m_err(QStringLiteral("marrowlake: no printer chosen and no default printer; name one "
                                 "with --printer"));
            return 2;
        }
    }
    const int pause = line.pause
                          ? *line.pause
                          : std::max(0, storedPosition(m_settings, QStringLiteral("Combo2"), 10));

    QStringList documents;
    expandDroppedPaths(
        line.paths, [&documents](const QString &path) { documents << path; }, m_yield);
    if (documents.isEmpty()) {
        m_err(QStringLiteral("marrowlake: no documents found"));
        return 2;
    }

    // The same steps as the window's run, the failures said instead of shown.
    const automation::PrintSteps steps{[&printer] { return printer.toStdString(); }, m_wait,
                                       m_yield};
    for (const QString &path : std::as_const(documents)) {
        std::optional<std::string> failure;
        try {
            failure = automation::printDocument(m_word, path.toStdString(), steps);
        } catch (const std::exception &e) {
            failure = e.what();
        }
        if (failure) {
            ++m_failed;
            m_out(QStringLiteral("failed ") + path + QStringLiteral(": ") +
                  QString::fromStdString(*failure));
        } else {
            ++m_printed;
            m_out(QStringLiteral("printed ") + path);
        }
        m_wait(pause + 1);
    }
    m_out(summary());
    return m_failed == 0 ? 0 : 1;
}
