#pragma once

#include <QStringList>
#include <QWidget>

class PrinterList;
class QComboBox;
class QGroupBox;
class SettingsStore;

// The Options page: the printer choice and the pause after each document,
// both remembered in the settings store by position (the printer by its
// name too).
class PrintOptions : public QWidget
{
    Q_OBJECT

public:
    PrintOptions(SettingsStore &settings, PrinterList &printers, QWidget *parent = nullptr);

    // Fills the printer list and makes the initial choice: the stored
    // position, or the system's default printer on a first start.
    void fillPrinterList();
    // Chooses the stored printer position again ("Combo1", default "0").
    void restorePrinterChoice();
    // Adds the ten pause entries, "0 seconds" to "9 seconds".
    void fillPauseList();
    // Chooses the stored pause position ("Combo2", default "0").
    void restorePauseChoice();

    // The stored printer's position in `printers`: where its stored name
    // stands, else the stored position ("Combo1"), else `fallback`.
    [[nodiscard]] static QString storedPrinterPosition(const SettingsStore &settings,
                                                       const QStringList &printers,
                                                       const QString &fallback);

    // The name of the printer last chosen in the window; empty when only
    // its position was stored (older versions).
    [[nodiscard]] static QString storedPrinterName(const SettingsStore &settings);

    [[nodiscard]] QString printerText() const;
    [[nodiscard]] QString pauseText() const;

    [[nodiscard]] QGroupBox *printerGroup() const { return m_printerGroup; }
    [[nodiscard]] QGroupBox *pauseGroup() const { return m_pauseGroup; }
    [[nodiscard]] QComboBox *printerCombo() const { return m_printerCombo; }
    [[nodiscard]] QComboBox *pauseCombo() const { return m_pauseCombo; }

private:
    void savePrinterChoice();
    void savePauseChoice();
    // Chooses the position that a stored text names; a text that is not a
    // whole number or lies outside the list chooses the first entry.
    static void choosePosition(QComboBox *combo, const QString &stored);

    SettingsStore &m_settings;
    PrinterList &m_printers;
    QGroupBox *m_printerGroup;
    QComboBox *m_printerCombo;
    QStringList m_printerNames;
    QGroupBox *m_pauseGroup;
    QComboBox *m_pauseCombo;
};
