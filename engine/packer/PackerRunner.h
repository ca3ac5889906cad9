#pragma once

#include "AppError.h"
#include "PackRequest.h"
#include "PackerEnvironment.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <stop_token>

using PackerProgressHandler = std::function<void(const PackerProgress &)>;

// One run of the packer, ready to start: its arguments after the script (the
// job arguments, then the directory), the output file named among them, and
// its environment.
struct PackerInvocation
{
    QStringList arguments;
    QString output;
    PackerEnvironment environment;
};

// What a run printed, and what the warm packer also says of it.
struct PackerRun
{
    QString report;            // the packer's standard output, as the command line prints it
    QList<PackedFile> files;   // in the order of the bundle; empty from the command line
    QStringList excludedFiles; // left out by the secret scan, relative to the packed directory
};

// A way to run the packer: the warm service or the command line. A run
// succeeds when the packer exited with status 0 and wrote its output (or its
// first part); it fails with the packer's exit status and standard error,
// "Failed to read Repomix output.", RunnerError::NoOutputWritten or
// RunnerError::stopped(). A stop request ends the packer at once.
class PackerRunner
{
public:
    virtual ~PackerRunner() = default;

    // `progress`, if given, hears how far the run is, possibly on another
    // thread: it must only hand the news on.
    virtual Result<PackerRun> run(const PackerInvocation &invocation, std::stop_token stop,
                                  const PackerProgressHandler &progress) = 0;
};
