#pragma once

#include "FileDialogs.h"

#include <QStringList>

class QtFileDialogs : public FileDialogs
{
public:
    QString openFileNames(QWidget *owner, const QString &title, const QString &filter) override;
    QString pickFolder(QWidget *owner, const QString &prompt) override;

    // "Name (*.a)|*.a|Other|*.*" becomes Qt's "Name (*.a);;Other (*)".
    [[nodiscard]] static QString qtFilter(const QString &commonDialogFilter);
    // Several chosen paths in the classic dialog's FileName form.
    [[nodiscard]] static QString joinedFileName(const QStringList &paths);

private:
    // The first dialog opens in the user's Documents (wherever the program
    // was started from); later ones where the previous one was left.
    QString startFolder();

    bool m_opened = false;
};
