#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

QString programFolder()
{
    const QString beside = QCoreApplication::applicationDirPath();
    if (QDir(beside).exists(QStringLiteral("Samples")))
        return beside;
    const QString installed = QStringLiteral(MARROWLAKE_DATA_DIR);
    if (QDir(installed).exists())
        return installed;
    return beside;
}
