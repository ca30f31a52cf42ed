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
};
