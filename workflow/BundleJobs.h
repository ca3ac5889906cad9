#pragma once

#include "AppError.h"
#include "BundleOptions.h"
#include "RunSummary.h"

#include <QList>
#include <QUrl>

#include <stop_token>

class RepomixWrapper;

// What a run packs, read on the UI thread when the run is started.
struct JobInput
{
    QList<QUrl> files;
    BundleOptions::Values options;
    QString ignorePatterns;
};

// Stages the items, runs the packer into a private scratch file, reads the
// totals and removes the scratch file.
Result<RunSummary> runEstimate(RepomixWrapper &wrapper, const JobInput &input, std::stop_token stop);

// Stages the items, runs the packer into a private scratch file, reads the
// totals and writes the file to `destination` with the product's name in
// place of the packer's.
Result<RunSummary> runBundle(RepomixWrapper &wrapper, const JobInput &input, const QString &destination,
                             std::stop_token stop);

// Replaces "Repomix" and "repomix" by "Lumbrel" in the UTF-8 file at `path`,
// atomically and in bounded memory. Leaves the file as it was and returns false
// when it is not UTF-8 or cannot be rewritten in full.
bool brandFile(const QString &path);
// The same from `from` into `to`, which is replaced only by the whole result.
bool brandFile(const QString &from, const QString &to);
