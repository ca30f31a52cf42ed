// Watching folders is not there on Windows yet: the command line says so.

#include "FolderWatcher.h"

std::unique_ptr<FolderWatcher> makeFolderWatcher()
{
    return nullptr;
}
