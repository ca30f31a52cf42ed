#pragma once

#include <QString>

// Where the record of every document printed is kept for the user: under
// the user's state folder ($XDG_STATE_HOME, else ~/.local/state) as
// marrowlake/print-log.jsonl here, %LOCALAPPDATA%\Marrowlake\print-log.jsonl
// on Windows.
[[nodiscard]] QString printLogFile();
