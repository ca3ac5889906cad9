#pragma once

#include "PackerLocation.h"

#include <QString>
#include <QStringList>

#include <optional>

class BundleOptions;
class QTextStream;

// `lumbrel --bundle OUTPUT [--style S] [--ignore PATTERNS] PATH...`: the
// window's bundle job without a window. The stored options apply to all
// that is not given; it never touches a running window.
struct HeadlessBundle
{
    QString output;
    QStringList paths;
    std::optional<QString> style;          // "plain", "xml" or "markdown"
    std::optional<QString> ignorePatterns; // verbatim, as the window's field

    // Runs the job and writes its outcome: the totals and whatever was left
    // out to `out`, a failure to `err`. Returns the process's exit status: 0
    // on success, 1 when the job failed, 2 for a wrong request, 130 when a
    // termination signal stopped it (the output then stays as it was).
    int run(BundleOptions &options, const PackerLocation &packer, QTextStream &out, QTextStream &err) const;
};
