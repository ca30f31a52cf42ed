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

PrintOptions::PrintOptions(SettingsStore &settings, PrinterList &printers, QWidget *parent)
    : QWidget(parent), m_settings(settings), m_printers(printers),
      m_frame1(new QGroupBox(QStringLiteral("Select Printer"), this)),
      m_combo1(new QComboBox(m_frame1)),
      m_frame2(new QGroupBox(
          QStringLiteral("Pause (use this feature if unwanted blank pages are being printed)"),
          this)),
      m_combo2(new QComboBox(m_frame2))
{
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    m_combo1->setEditable(false);
    m_combo2->setEditable(false);
    connect(m_combo1, &QComboBox::currentIndexChanged, this, &PrintOptions::Combo1_Click);
    connect(m_combo2, &QComboBox::currentIndexChanged, this, &PrintOptions::Combo2_Click);
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

void PrintOptions::FillPrinterList()
{
    const QString defaultPrinter = m_printers.defaultPrinterName();
    {
        // Adding entries chooses nothing; only the steps below choose.
        const QSignalBlocker blocker(m_combo1);
        m_printerNames = m_printers.printerNames();
        m_combo1->addItems(m_printerNames);
        m_combo1->setCurrentIndex(-1);
    }
    const QString stored = m_settings.read(PrinterKey, QString());
    if (stored.isEmpty()) {
        if (!defaultPrinter.isEmpty())
            m_combo1->setCurrentIndex(m_combo1->findText(defaultPrinter, Qt::MatchExactly));
    } else {
        choosePosition(m_combo1, storedPrinterPosition(m_settings, m_printerNames,
                                                       QString::number(m_combo1->currentIndex())));
    }
}

void PrintOptions::restorePrinterChoice()
{
    const int before = m_combo1->currentIndex();
    choosePosition(m_combo1,
                   storedPrinterPosition(m_settings, m_printerNames, QStringLiteral("0")));
    // Choosing the position that is chosen already is a choice too (a new
    // one was stored by the change handler).
    if (m_combo1->currentIndex() >= 0 && m_combo1->currentIndex() == before)
        Combo1_Click();
}

void PrintOptions::fillPauseList()
{
    const QSignalBlocker blocker(m_combo2);
    for (int n = 0; n <= 9; ++n)
        m_combo2->addItem(QString::number(n) + QLatin1String(" seconds"));
    m_combo2->setCurrentIndex(-1);
}

void PrintOptions::restorePauseChoice()
{
    const int before = m_combo2->currentIndex();
    choosePosition(m_combo2, m_settings.read(PauseKey, QStringLiteral("0")));
    if (m_combo2->currentIndex() >= 0 && m_combo2->currentIndex() == before)
        Combo2_Click();
}

QString PrintOptions::printerText() const
{
    return m_combo1->currentText();
}

QString PrintOptions::pauseText() const
{
    return m_combo2->currentText();
}

void PrintOptions::Combo1_Click()
{
    m_settings.write(PrinterKey, QString::number(m_combo1->currentIndex()));
    if (m_combo1->currentIndex() >= 0)
        m_settings.write(PrinterNameKey, m_combo1->currentText());
}

void PrintOptions::Combo2_Click()
{
    m_settings.write(PauseKey, QString::number(m_combo2->currentIndex()));
}
