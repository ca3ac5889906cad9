#pragma once

#include <QString>

// Writes one plain line to the log (no level, no timestamp), whole even when
// several threads log at once. The log is standard output, or standard error
// where standard output carries a command's own result. On standard error
// (a command in a terminal or a script) each line is plain text: no emoji,
// no colour codes, and no paths of Lumbrel's private scratch and staging
// files, which are gone by the time anyone reads them.
void logLine(const QString &line);

// A line that only explains a run in detail (the packer's full command
// line): always in the window's log, on standard error only when verbose.
void logDetail(const QString &line);

// Sends the log to standard error (true) or standard output (false, the default).
void logToStandardError(bool on);

// Detail lines on standard error too (a command's --verbose).
void setLogVerbose(bool on);

// `text` without terminal colour and cursor codes, with a private scratch
// file of the packer's output named "the bundle" and the private staging
// folder left out of the paths below it, so that a path reads as the user's own item.
QString withoutPrivatePaths(const QString &text);

// `line` as the log writes it on standard error.
QString plainLogText(const QString &line);
