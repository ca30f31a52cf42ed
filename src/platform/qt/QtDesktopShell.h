#pragma once

#include "DesktopShell.h"

#include <QUrl>

// Opens targets with QDesktopServices: never through a shell.
class QtDesktopShell : public DesktopShell
{
public:
    void open(const QString &quotedTarget) override;
    // The address a quoted target stands for: a web address, or a local path.
    [[nodiscard]] static QUrl targetUrl(const QString &quotedTarget);
};
