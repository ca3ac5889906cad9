#pragma once

#include "CommandLine.h"
#include "PackerLocation.h"

#include <functional>

class BundleOptions;
class QTextStream;

// `lumbrel --bundle OUTPUT ... PATH...` and `lumbrel --estimate ... PATH...`:
// the window's jobs without a window. The stored options apply to all that
// the command line does not give; it never touches a running window.
//
// A path that does not exist fails the run before anything is written
// (unless --skip-missing), and so does a run that packs no file; an output
// file that is one of the inputs is refused.
//
// Returns the process's exit status: 0 on success, 1 when the job failed or
// had nothing to bundle (the output file then stays as it was), 2 for a
// wrong request, 130 when a termination signal stopped it. `copyText` puts
// text on the clipboard; empty where there is no clipboard.
int runHeadless(const CommandLine &command, BundleOptions &options, const PackerLocation &packer, QTextStream &out,
                QTextStream &err, const std::function<void(const QString &)> &copyText = {});
