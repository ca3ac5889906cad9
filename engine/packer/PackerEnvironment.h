#pragma once

#include "AppError.h"

#include <QProcessEnvironment>
#include <QString>

// The environment and working directory of one packer run. Every way of
// starting the packer uses this one function, so that only our own options
// govern it and everything it keeps lives in private places:
//
// - working directory and XDG_CONFIG_HOME: an empty private folder of the
//   session, where no configuration file of the user's can be found;
// - TMPDIR: a private folder of the session, so that nothing goes to fixed
//   paths in the shared temporary directory (the packer's own temporary
//   files, trust store and defaults);
// - REPOMIX_TOKEN_CACHE_PATH: "<cache>/token-counts.json" and
//   NODE_COMPILE_CACHE: "<cache>/node-compile-cache", in the private cache
//   folder (PrivateArea::cacheDirectory), so that both stay warm between
//   runs and launches; without a usable cache folder both stay in TMPDIR;
// - HOME (and on Windows USERPROFILE, APPDATA, LOCALAPPDATA): the same
//   private folder as the working directory;
// - of the user's environment only what isPassedOn() allows (the search
//   path, the locale and time zone, the system's own names on Windows);
//   NO_COLOR=1 gives a plain report.
struct PackerEnvironment
{
    QProcessEnvironment environment;
    QString workingDirectory;
    QString cacheDirectory; // empty when there is no usable cache folder

    static Result<PackerEnvironment> forRun();

    // Whether a variable of the user's environment reaches the packer.
    static bool isPassedOn(const QString &name);

    // The packer leaves one empty marker per packed directory in
    // "<cache>/seen" and never removes them; this keeps the newest few.
    // Call it after each run.
    static void pruneCache(const QString &cacheDirectory);
};
