#pragma once

// Helpers shared by the benchmarks: generated input trees, timing, the
// process's peak memory, and a direct run of the bundled packer that serves
// as the baseline for the runs made through the application's own code.

#include "RepomixWrapper.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

namespace bench {

namespace fs = std::filesystem;

// The bundled runtime and packer script of this build.
PackerLocation packer();

// Where the figures go. The code under measurement writes its log lines to
// standard output; `captureLog` moves those into `logFile` so that the
// figures stay readable, and `out()` keeps writing to the original output.
void captureLog(const QString &logFile);
std::FILE *out();

// ---- Generated input ------------------------------------------------------

struct TreeSize
{
    qint64 files = 0;
    qint64 bytes = 0;
};

// A text file of about `bytes` bytes of source-like lines; the same `seed`
// gives the same text.
void writeTextFile(const fs::path &path, qint64 bytes, unsigned seed);

// A small project: a source part (about 1,000 files, 5 MB: src/, docs/,
// tests/) and, with `withDependencyFolders`, what tools and package managers
// leave beside it: node_modules with most of the files and bytes, nested
// node_modules deeper down, __pycache__ folders, a .venv and a .git folder.
// The source part is the same either way.
TreeSize makeProject(const fs::path &root, bool withDependencyFolders);

// `count` source files of 1-5 KB under `root`, spread over folders of 50.
// One file in eight is a Markdown file (`markdownFiles` says how many).
TreeSize makeSourceTree(const fs::path &root, int count, int *markdownFiles = nullptr);

// `count` files of 2-20 KB (about 11 KB on average, like real source) under
// `root`, spread over folders of 50; one file in eight is Markdown.
TreeSize makeRealSizedTree(const fs::path &root, int count);

// Regular files and their bytes under `root`; links are not followed.
TreeSize measureTree(const fs::path &root);

// ---- Measuring ------------------------------------------------------------

// Seconds on a monotonic clock.
double now();
double median(std::vector<double> values);

// The resident set of this process now and at its peak (VmRSS, VmHWM), in
// MiB; children are not included. `resetPeakMemory` starts a new peak from
// the current size (Linux: /proc/self/clear_refs).
double currentMemoryMiB();
double peakMemoryMiB();
void resetPeakMemory();

// Runs the thread's event loop until `done` holds or `seconds` pass, without
// ever sleeping outside the event loop; true when `done` holds.
bool runEventsUntil(const std::function<bool()> &done, double seconds);
void runEventsFor(double seconds);

// The system's load averages over 1, 5 and 15 minutes ("0.81 1.66 2.38").
QString loadAverage();

// ---- The baseline ---------------------------------------------------------

struct DirectRun
{
    double seconds = 0;
    int exitCode = -1;
    QString report; // standard output
};

// Runs the packer on `directory` the plain way: the runtime, the script, the
// arguments and the directory, started with QProcess and waited for, in the
// working directory and environment that the application gives it
// (PackerEnvironment::forRun), or in the ones given.
DirectRun runPackerDirectly(const QStringList &arguments, const QString &directory);
DirectRun runPackerDirectly(const QStringList &arguments, const QString &directory,
                            const QProcessEnvironment &environment, const QString &workingDirectory);

// The argument list the application builds with the default options, writing
// to `output` (absolute) and ignoring `ignorePatterns`.
QStringList defaultJobArguments(const QString &output, const QString &ignorePatterns = {});

// What a user types to run the packer on a folder with the default options:
// the application's arguments without "--verbose", the step-by-step report
// the application asks for (which alone costs a run of 10,000 files a fifth
// of its time). The baseline of the benchmarks against the packer run directly.
QStringList userArguments(const QString &output, const QString &ignorePatterns = {});

// Runs `cp -a from to` (`cp -al` with `hardLinks`) and returns its wall time
// in seconds (negative when cp failed).
double copyWithCp(const fs::path &from, const fs::path &to, bool hardLinks = false);

} // namespace bench
