#include "PrintLogFile.h"

#include <QDir>

QString printLogFile()
{
    QString local = qEnvironmentVariable("LOCALAPPDATA");
    if (local.isEmpty())
        local = QDir::homePath() + QStringLiteral("/AppData/Local");
    return QDir::fromNativeSeparators(local) + QStringLiteral("/Marrowlake/print-log.jsonl");
}
