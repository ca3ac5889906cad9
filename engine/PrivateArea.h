#pragma once

#include "AppError.h"

#include <QString>
#include <QStringList>

// The folders the application keeps to itself. Everything lives in places no
// other user can enter or plant anything in:
//
// - the *temporary area* on the temporary disk (TMPDIR, or /tmp):
//   "<tmp>/lumbrel-<uid>" when that is a private folder of ours, else a
//   fresh "<tmp>/lumbrel-<uid>-XXXXXX" (someone else holds the fixed name);
// - in it, one *session folder* per process ("session-XXXXXX"), locked for
//   the process's life (the system drops the lock when the process ends,
//   however it ends). Staging directories, scratch output and the packer's
//   own temporary files go there, so that a later start can tell what is
//   left over (sweepStale);
// - a *fixed per-user folder* for the single-instance socket;
// - the packer's persistent *cache folder*.
//
// The temporary area and the session follow the temporary directory in
// force when they are first asked for (one session per directory, kept
// until the process ends). All functions are thread-safe.
class PrivateArea
{
public:
    static Result<QString> temporaryArea();
    static Result<QString> sessionDirectory();

    // Where staging directories are made: the session folder.
    static Result<QString> stagingParent() { return sessionDirectory(); }

    // A fresh path in the session folder ("output-<UUID><suffix>"), which
    // nothing uses yet. Not created: the caller writes it.
    static Result<QString> scratchFile(const QString &suffix);

    // The packer's own temporary folder (its TMPDIR), and its working
    // directory and configuration home: two private folders in the session.
    static Result<QString> packerTemporaryDirectory();
    static Result<QString> packerHomeDirectory();

    // The fixed folder of this user for the single-instance socket:
    // "$XDG_RUNTIME_DIR/lumbrel" when XDG_RUNTIME_DIR is a private folder of
    // ours, else the fixed temporary area. An error when neither can be used.
    static Result<QString> instanceDirectory();

    // The packer's cache: the application's cache location plus "/packer",
    // private and kept between runs and launches.
    static Result<QString> cacheDirectory();

    // The application's own places that a chosen folder may hold, as far as
    // they exist: the temporary area, the cache folder, the settings file and
    // the folders for configuration and data. Staging leaves them out.
    static QStringList ownLocations();

    // Removes the session folders of earlier processes that provably belong
    // to this user and are not in use: in the temporary area and in the
    // fallback areas "lumbrel-<uid>-*" of earlier runs, owned by the user,
    // not links, with a lock nobody holds. Never follows a link and touches
    // nothing else. For one log line at start.
    struct Sweep
    {
        int removed = 0;  // session folders
        qint64 bytes = 0; // freed: files that had no other name
    };
    static Sweep sweepStale();

    // Removes this process's session folders with everything in them; for
    // the end of a run, once nothing uses them any more.
    static void endSession();
};
