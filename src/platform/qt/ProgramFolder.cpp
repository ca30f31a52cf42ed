#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

QString programFolderFor(const QString &executableDir, const QString &configuredDataDir)
{
    if (QDir(executableDir).exists(QStringLiteral("Samples")))
        return executableDir;
    const QString relocated =
        QDir::cleanPath(executableDir + QStringLiteral("/../share/marrowlake"));
    if (QDir(relocated).exists())
        return relocated;
    if (QDir(configuredDataDir).exists())
        return QDir::cleanPath(configuredDataDir);
    return executableDir;
}

QString programFolder()
{
    return programFolderFor(QCoreApplication::applicationDirPath(),
                            QStringLiteral(MARROWLAKE_DATA_DIR));
}
