#pragma once

#include "DesktopShell.h"

#include <QStringList>

class FakeDesktopShell : public DesktopShell
{
public:
    void open(const QString &quotedTarget) override { opened << quotedTarget; }
    QStringList opened;
};
