#include "PrintLogFile.h"

#include <QDir>

QString printLogFile()
{
    // As freedesktop.org's base directories have it: a relative value is
    // ignored.
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/marrowlake/print-log.jsonl");
}
