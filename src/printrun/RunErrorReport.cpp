#include "RunErrorReport.h"

QString runErrorReport(const QString &description, int line)
{
    return description + QLatin1String("\r\n") + QLatin1String("in Tolvane5/20/2014.Form1.Start ") +
           QLatin1String("at line ") + QString::number(line) + QLatin1String("\r\r") +
           QLatin1String("Please email screenshot of this message to ") + ReportAddress;
}
