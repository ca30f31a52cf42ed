#pragma once

#include "FileDialogs.h"

#include <QStringList>

// Answers the dialogs with scripted results and records what they were asked.
class FakeFileDialogs : public FileDialogs
{
public:
    QString openFileNames(QWidget *, const QString &title, const QString &filter) override
    {
        asked << title + u'|' + filter;
        return fileNameResult;
    }
    QString pickFolder(QWidget *, const QString &prompt) override
    {
        asked << prompt;
        return folderResult;
    }

    QString fileNameResult;
    QString folderResult;
    QStringList asked;
};
