#include "Form1.h"

#include "EventLoop.h"
#include "PlatformPrinterList.h"
#include "ProgramFolder.h"
#include "QtDesktopShell.h"
#include "QtFileDialogs.h"
#include "QtMessageBoxes.h"
#include "QtSettingsStore.h"
#include "WaitSeconds.h"
#include "WordProcessorFactory.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QTime>

#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marrowlake"));
    QApplication::setOrganizationName(QStringLiteral("Harrowick"));

    QtSettingsStore settings;
    PlatformPrinterList printers;
    QtMessageBoxes messages;
    QtDesktopShell shell;
    QtFileDialogs dialogs;

    // Short waits: the office answers within milliseconds once it runs.
    const auto office = automation::makeWordProcessor([] { yieldToEventLoop(5); });

    Form1 form({settings, printers, messages, shell, dialogs, *office, programFolder(),
                [] {
                    // Seeded from the seconds since midnight, one draw per start.
                    QRandomGenerator generator(
                        quint32(QTime::currentTime().msecsSinceStartOfDay() / 1000));
                    return int(generator.bounded(100)) + 1;
                },
                [&settings] {
                    settings.flush();
                    std::exit(0);
                },
                WaitSeconds});
    messages.setParent(&form);
    form.Form_Load();
    form.show();
    return app.exec();
}
