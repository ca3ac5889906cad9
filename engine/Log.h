#pragma once

#include <QString>

// Writes one plain line to the log (no level, no timestamp), whole even when
// several threads log at once. The log is standard output, or standard error
// where standard output carries a command's own result. On standard error
// (a command in a terminal or a script) each line is plain text: no emoji,
// no colour codes, and no paths of Lumbrel's private scratch and staging
// files, which are gone by the time anyone reads them.
void logLine(const QString &line);

// Sends the log to standard error (true) or standard output (false, the default).
void logToStandardError(bool on);

// Whether the packer's argument line is logged before each run (the
// default), or only the outcome; a command's --verbose turns it on.
void logArguments(bool on);
bool loggingArguments();

// `text` without terminal colour and cursor codes, with a private scratch
// file of the packer's output named "the bundle" and the private staging
// folder left out of the paths below it, so that a path reads as the user's own item.
QString withoutPrivatePaths(const QString &text);

// `line` as the log writes it on standard error.
QString plainLogText(const QString &line);
