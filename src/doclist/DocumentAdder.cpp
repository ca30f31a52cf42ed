#include "DocumentAdder.h"

#include "DesktopShell.h"
#include "DirectoryListing.h"
#include "DocumentListView.h"
#include "DocumentPaths.h"
#include "FileDialogs.h"
#include "FolderSearch.h"
#include "MessageBoxes.h"

#include <QPointer>
#include <QWidget>

const QString DocumentAdder::DocumentPattern = QStringLiteral("*.do*");

DocumentAdder::DocumentAdder(DocumentListView &list, FileDialogs &dialogs, MessageBoxes &messages,
                             DesktopShell &shell, QString programFolder, QWidget *window,
                             Yield yield)
    : m_list(list), m_dialogs(dialogs), m_messages(messages), m_shell(shell),
      m_programFolder(std::move(programFolder)), m_window(window), m_yield(std::move(yield))
{
}

void DocumentAdder::addFiles()
{
    const QString fileName = m_dialogs.openFileNames(
        m_window, QStringLiteral("Add File(s) - Hold Ctrl to select multiple files"),
        QStringLiteral("Word Documents (*.do*)|*.do*|All Files (*.*)|*.*"));
    for (const QString &path : pathsFromDialogResult(fileName))
        m_list.append(path);
}

void DocumentAdder::addFolder()
{
    const QString folder = pickFolder(m_dialogs, m_window, QStringLiteral("Please select folder:"));
    if (folder.isEmpty())
        return;
    if (m_window)
        m_window->setCursor(Qt::WaitCursor);
    // The list may go away while the search yields (the window closing).
    QPointer<DocumentListView> list(&m_list);
    addFolderTree(
        folder, DocumentPattern, true,
        [list](const QString &path) {
            if (list)
                list->append(path);
        },
        m_yield);
    if (m_window)
        m_window->unsetCursor();
}

void DocumentAdder::addSamples()
{
    const QString samples = m_programFolder + QStringLiteral("/Samples");
    for (const QString &name : listFiles(samples, QStringLiteral("*.*")))
        m_list.append(samples + u'/' + name);
    const auto answer = m_messages.show(
        QStringLiteral("Would you like this software to open the folder where these sample files "
                       "are stored (so that you can view them before working with them)?"),
        MessageBoxes::Buttons::YesNo, MessageBoxes::Icon::None, ApplicationTitle);
    if (answer == MessageBoxes::Answer::Yes)
        m_shell.open(u'"' + samples + QStringLiteral("/\""));
}

void DocumentAdder::addDroppedPaths(const QStringList &paths)
{
    // The list may go away while a folder search yields (the window closing).
    QPointer<DocumentListView> list(&m_list);
    expandDroppedPaths(
        paths,
        [list](const QString &path) {
            if (list)
                list->append(path);
        },
        m_yield);
}
