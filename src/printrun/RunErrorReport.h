#pragma once

#include <QString>

// Where users send screenshots of the run's error report.
inline const QString ReportAddress = QStringLiteral("support@harrowick.example");

// The text of the run's error report for a failure at a line of the run.
[[nodiscard]] QString runErrorReport(const QString &description, int line);
