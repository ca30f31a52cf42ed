#pragma once

#include <QString>

class QWidget;

// The open-file dialog and the folder browser.
class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    // Shows the open-file dialog with multiple selection. The result is
    // built like the classic dialog's FileName: empty when cancelled, the
    // full path for one file, or the folder followed by the file names, all
    // separated by NUL characters, for several.
    [[nodiscard]] virtual QString openFileNames(QWidget *owner, const QString &title,
                                                const QString &filter) = 0;
    // The chosen folder's full path, or empty text on cancel.
    [[nodiscard]] virtual QString pickFolder(QWidget *owner, const QString &prompt) = 0;
};
