#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class DesktopShell;
class FileDialogs;
class ListView1;
class MessageBoxes;
class QWidget;

// Every way of filling the document list: the open-file dialog, the folder
// search, the program's sample files, and files dropped onto the list.
class DocumentAdder
{
public:
    using Yield = std::function<void()>;

    DocumentAdder(ListView1 &list, FileDialogs &dialogs, MessageBoxes &messages,
                  DesktopShell &shell, QString programFolder, QWidget *window, Yield yield);

    void AddFiles();
    void AddFolder();
    void LoadSamples();
    // Dropped files are added as they are; dropped folders with every file of
    // their tree.
    void Drop(const QStringList &paths);

    static const QString DocumentPattern; // "*.do*"

private:
    ListView1 &m_list;
    FileDialogs &m_dialogs;
    MessageBoxes &m_messages;
    DesktopShell &m_shell;
    QString m_programFolder;
    QPointer<QWidget> m_window;
    Yield m_yield;
};
