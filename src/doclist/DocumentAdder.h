#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class DesktopShell;
class FileDialogs;
class DocumentListView;
class MessageBoxes;
class QWidget;

// Every way of filling the document list: the open-file dialog, the folder
// search, the program's sample files, and files dropped onto the list.
class DocumentAdder
{
public:
    using Yield = std::function<void()>;

    DocumentAdder(DocumentListView &list, FileDialogs &dialogs, MessageBoxes &messages,
                  DesktopShell &shell, QString programFolder, QWidget *window, Yield yield);

    void addFiles();
    void addFolder();
    void addSamples();
    // Dropped files are added as they are; dropped folders with every file of
    // their tree.
    void addDroppedPaths(const QStringList &paths);

    static const QString DocumentPattern; // "*.do*"

private:
    DocumentListView &m_list;
    FileDialogs &m_dialogs;
    MessageBoxes &m_messages;
    DesktopShell &m_shell;
    QString m_programFolder;
    QPointer<QWidget> m_window;
    Yield m_yield;
};
