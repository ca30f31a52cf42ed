#include "PrintLogFile.h"

#include <QDir>

QString printLogFile()
{
    // The base directory specification: a relative value is to be ignored.
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/marrowlake/print-log.jsonl");
}
