#pragma once

#include "AppError.h"
#include "StagingCopy.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QUrl>

#include <filesystem>
#include <stop_token>
#include <vector>

// Where the packer lives: the Node.js runtime and the packer's script.
struct PackerLocation
{
    QString runtime;
    QString script;

    // The runtime and script installed with the application, found once from
    // the application's own location.
    static const PackerLocation &bundled();
};

// Runs the packer on private copies of the user's items. Not thread-safe:
// one caller at a time (the workflow keeps it on one serial worker); only the
// stop tokens may be used from other threads.
class RepomixWrapper
{
public:
    // Codes of the errors the wrapper raises itself (domain "RepomixWrapper").
    enum ErrorCode {
        UnreadableOutput = -1, // also: failed with an unreadable message
        RuntimeMissing = -2,
        ScriptMissing = -3,
        NoOutputWritten = -4,
        Stopped = -5,
        Crashed = -6,
    };

    explicit RepomixWrapper(PackerLocation location = PackerLocation::bundled());
    ~RepomixWrapper();

    RepomixWrapper(const RepomixWrapper &) = delete;
    RepomixWrapper &operator=(const RepomixWrapper &) = delete;

    // Copies the items (file URLs, in order) into a new private directory
    // "repomix-temp-<UUID>" in the system's temporary directory and returns
    // its location. Missing items are skipped; a failure removes the partial
    // directory.
    Result<QUrl> stageFiles(const QList<QUrl> &files, std::stop_token stop = {});

    // Runs the packer with the job arguments on `directory` and returns its
    // report. Succeeds only when the packer exited with status 0 and wrote the
    // file named after "--output" during this run. A stop request ends the
    // packer's whole process group at once.
    Result<QString> runRepomix(const QStringList &arguments, const QUrl &directory, std::stop_token stop = {});

    // The staging directory recorded last; removed with the wrapper. Recording
    // a new one removes the one it replaces, in the background.
    QUrl temporaryDirectory() const { return m_temporaryDirectory; }
    void setTemporaryDirectory(const QUrl &directory);

    // Removes a staging directory in the background, while the next packer
    // run computes (or when the wrapper goes).
    void discardDirectory(const QUrl &directory);

    // A folder in the temporary directory that only this user can use: the
    // packer's working directory and configuration home, and the place of
    // scratch output.
    static Result<QString> privateDirectory();

    const PackerLocation &location() const { return m_location; }
    const StagingCopy &stagingCopy() const { return m_copy; }

private:
    PackerLocation m_location;
    StagingCopy m_copy;
    QUrl m_temporaryDirectory;
    void startRemovals();

    std::vector<std::filesystem::path> m_pendingRemovals;
    QThreadPool m_removals;
};
