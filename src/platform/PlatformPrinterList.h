#pragma once

// The printer list of this platform: CUPS on Linux, the system's printers
// (through Qt's print support) on Windows.
#include <QtGlobal>

#ifdef Q_OS_WIN
#include "QtPrinterList.h"
using PlatformPrinterList = QtPrinterList;
#else
#include "CupsPrinterList.h"
using PlatformPrinterList = CupsPrinterList;
#endif
