#pragma once

#include <QString>

class DesktopShell;
class MessageBoxes;

// The Help menu's own actions: the support message, the demonstration video
// kept beside the program, and the maker's FAQ and main web pages.
class HelpActions
{
public:
    HelpActions(MessageBoxes &messages, DesktopShell &shell, QString programFolder);

    void showHelp();
    void watchDemoVideo();
    void openFaqPage();
    void visitMainPage();

    static const QString SupportAddress;
    static const QString MainPageAddress;
    static const QString FaqPageAddress;

private:
    MessageBoxes &m_messages;
    DesktopShell &m_shell;
    QString m_programFolder;
};

// The first plain file of a folder in listing order, or empty text.
[[nodiscard]] QString firstPlainFile(const QString &folder);
