#pragma once

#include <QString>

// Writes one plain line to the log (no level, no timestamp), whole even when
// several threads log at once. The log is standard output, or standard error
// where standard output carries a command's own result.
void logLine(const QString &line);

// Sends the log to standard error (true) or standard output (false, the default).
void logToStandardError(bool on);

// Whether the packer's argument line is logged before each run (the
// default), or only the outcome; a command's --verbose turns it on.
void logArguments(bool on);
bool loggingArguments();
