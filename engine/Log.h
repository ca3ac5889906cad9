#pragma once

#include <QString>

// Writes one plain line to standard output (no level, no timestamp), whole
// even when several threads log at once.
void logLine(const QString &line);
