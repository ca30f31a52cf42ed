#pragma once

#include <QString>

// Hands a file, folder or web address to the desktop, which opens it with the
// user's handler for it. The target comes enclosed in double quotes, as one
// argument; failures are silent.
class DesktopShell
{
public:
    virtual ~DesktopShell() = default;
    virtual void open(const QString &quotedTarget) = 0;
};
