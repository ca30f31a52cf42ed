#include "PrintOptions.h"

#include "PrinterList.h"
#include "SettingsStore.h"

#include <QComboBox>
#include <QGroupBox>
#include <QSignalBlocker>

namespace {
const QString PrinterKey = QStringLiteral("Combo1");
const QString PauseKey = QStringLiteral("Combo2");
// Beside the position: a printer added or removed before the chosen one
// must not move the choice to another printer.
const QString PrinterNameKey = QStringLiteral("PrinterName");
} // namespace

QString PrintOptions::storedPrinterPosition(const SettingsStore &settings,
                                            const QStringList &printers, const QString &fallback)
{
    const QString name = settings.read(PrinterNameKey, QString());
    const qsizetype byName = name.isEmpty() ? -1 : printers.indexOf(name);
    return byName >= 0 ? QString::number(byName) : settings.read(PrinterKey, fallback);
}

QString PrintOptions::storedPrinterName(const SettingsStore &settings)
{
    return settings.read(PrinterNameKey, QString());
}

PrintOptions::PrintOptions(SettingsStore &settings, PrinterList &printers, QWidget *parent)
    : QWidget(parent), m_settings(settings), m_printers(printers),
      m_printerGroup(new QGroupBox(QStringLiteral("Select Printer"), this)),
      m_printerCombo(new QComboBox(m_printerGroup)),
      m_pauseGroup(new QGroupBox(
          QStringLiteral("Pause (use this feature if unwanted blank pages are being printed)"),
          this)),
      m_pauseCombo(new QComboBox(m_pauseGroup))
{
    m_printerGroup->setObjectName(QStringLiteral("Frame1"));
    m_pauseGroup->setObjectName(QStringLiteral("Frame2"));
    m_printerCombo->setObjectName(QStringLiteral("Combo1"));
    m_pauseCombo->setObjectName(QStringLiteral("Combo2"));
    m_printerCombo->setEditable(false);
    m_pauseCombo->setEditable(false);
    connect(m_printerCombo, &QComboBox::currentIndexChanged, this,
            &PrintOptions::savePrinterChoice);
    connect(m_pauseCombo, &QComboBox::currentIndexChanged, this, &PrintOptions::savePauseChoice);
}

void PrintOptions::choosePosition(QComboBox *combo, const QString &stored)
{
    bool ok = false;
    const int position = stored.trimmed().toInt(&ok);
    if (ok && position >= 0 && position < combo->count())
        combo->setCurrentIndex(position);
    else if (combo->count() > 0)
        combo->setCurrentIndex(0);
}

void PrintOptions::fillPrinterList()
{
    const QString defaultPrinter = m_printers.defaultPrinterName();
    {
        // Adding entries chooses nothing; only the steps below choose.
        const QSignalBlocker blocker(m_printerCombo);
        m_printerNames = m_printers.printerNames();
        m_printerCombo->addItems(m_printerNames);
        m_printerCombo->setCurrentIndex(-1);
    }
    const QString stored = m_settings.read(PrinterKey, QString());
    if (stored.isEmpty()) {
        if (!defaultPrinter.isEmpty())
            m_printerCombo->setCurrentIndex(
                m_printerCombo->findText(defaultPrinter, Qt::MatchExactly));
    } else {
        choosePosition(m_printerCombo,
                       storedPrinterPosition(m_settings, m_printerNames,
                                             QString::number(m_printerCombo->currentIndex())));
    }
}

void PrintOptions::restorePrinterChoice()
{
    const int before = m_printerCombo->currentIndex();
    choosePosition(m_printerCombo,
                   storedPrinterPosition(m_settings, m_printerNames, QStringLiteral("0")));
    // Choosing the position that is chosen already is a choice too (a new
    // one was stored by the change handler).
    if (m_printerCombo->currentIndex() >= 0 && m_printerCombo->currentIndex() == before)
        savePrinterChoice();
}

void PrintOptions::fillPauseList()
{
    const QSignalBlocker blocker(m_pauseCombo);
    for (int n = 0; n <= 9; ++n)
        m_pauseCombo->addItem(QString::number(n) + QLatin1String(" seconds"));
    m_pauseCombo->setCurrentIndex(-1);
}

void PrintOptions::restorePauseChoice()
{
    const int before = m_pauseCombo->currentIndex();
    choosePosition(m_pauseCombo, m_settings.read(PauseKey, QStringLiteral("0")));
    if (m_pauseCombo->currentIndex() >= 0 && m_pauseCombo->currentIndex() == before)
        savePauseChoice();
}

QString PrintOptions::printerText() const
{
    return m_printerCombo->currentText();
}

QString PrintOptions::pauseText() const
{
    return m_pauseCombo->currentText();
}

void PrintOptions::savePrinterChoice()
{
    m_settings.write(PrinterKey, QString::number(m_printerCombo->currentIndex()));
    if (m_printerCombo->currentIndex() >= 0)
        m_settings.write(PrinterNameKey, m_printerCombo->currentText());
}

void PrintOptions::savePauseChoice()
{
    m_settings.write(PauseKey, QString::number(m_pauseCombo->currentIndex()));
}
