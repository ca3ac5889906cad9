#pragma once

#include "AppError.h"
#include "PackerEnvironment.h"
#include "PackerLocation.h"
#include "PackerService.h"
#include "PrivateArea.h"
#include "StagingCopy.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QUrl>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

// Runs the packer on private stagings of the user's items. Not thread-safe:
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
        NoTemporaryFolder = -7,
        OutputExists = -8,
        NotEnoughSpace = -9,
    };

    // The error of a staging or a run that a stop request ended.
    static AppError stoppedError();

    // Free bytes on the disk that holds `path`; nothing when unknown.
    using FreeSpaceQuery = std::function<std::optional<std::uintmax_t>(const std::filesystem::path &path)>;

    explicit RepomixWrapper(PackerLocation location = PackerLocation::bundled());
    ~RepomixWrapper();

    RepomixWrapper(const RepomixWrapper &) = delete;
    RepomixWrapper &operator=(const RepomixWrapper &) = delete;

    // Stages the items (file URLs, in order) in a new private directory
    // "repomix-temp-<UUID>" in the session folder (PrivateArea) and says what
    // went where and what was left out (StagingCopy), with the user's ignore
    // and include patterns applied to each item. Chosen items with the
    // same name get distinct names ("README (2).md"). Fails before anything
    // is written when the temporary disk lacks the room for the copies and
    // the output; a failure removes the partial directory.
    Result<Staging> stage(const QList<QUrl> &items, const QString &ignorePatterns, std::stop_token stop = {},
                          const QString &includePatterns = {});

    // stage() without patterns, giving only the directory.
    Result<QUrl> stageFiles(const QList<QUrl> &files, std::stop_token stop = {});

    // Runs the packer with the job arguments on `directory` and returns its
    // report. The file named after "--output" must not exist before the run
    // (pass a fresh PrivateArea::scratchFile); the run succeeds only when the
    // packer exited with status 0 and that file exists afterwards. For a
    // directory staged by this wrapper with the default rules applied,
    // "--no-default-patterns" goes after the job arguments. The packer dies
    // with this process; a stop request ends its whole process group at once.
    Result<QString> runRepomix(const QStringList &arguments, const QUrl &directory, std::stop_token stop = {});

    // runRepomix with the per-file counts of the run where the warm packer
    // served it (empty after a run of the command line). Runs go to the warm
    // packer once startService() was called and it can serve them, and to
    // the packer's command line otherwise, so that a broken service never
    // breaks a run.
    // `progress` hears how far a run of the warm packer is (see PackerService).
    Result<PackerRun> runPacker(const QStringList &arguments, const QUrl &directory, std::stop_token stop = {},
                                const PackerProgressHandler &progress = {});

    // Starts loading the warm packer in the background, where this
    // installation has it; returns at once. Call it from the thread that
    // made the wrapper.
    void startService();

    // The staging directory recorded last; removed with the wrapper.
    // Recording a new one removes the one it replaces, in the background.
    QUrl temporaryDirectory() const { return m_temporaryDirectory; }
    void setTemporaryDirectory(const QUrl &directory);

    // Removes a staging directory made by this wrapper in the background, at
    // once (links are removed, never followed or written through).
    void discardDirectory(const QUrl &directory);

    // Kept for callers that still ask for it: the session folder.
    static Result<QString> privateDirectory() { return PrivateArea::sessionDirectory(); }

    const PackerLocation &location() const { return m_location; }
    const StagingCopy &stagingCopy() const { return m_copy; }

    // Files go in as hard links where possible (default), or always as copies.
    void setLinkFiles(bool link) { m_copy.setLinkFiles(link); }
    // Replaces the query of free space (std::filesystem::space by default).
    void setFreeSpaceQuery(FreeSpaceQuery query) { m_freeSpace = std::move(query); }

private:
    Result<PackerRun> runOnce(const QStringList &processArguments, const PackerEnvironment &run,
                              const QString &output, const std::stop_token &stop);

    PackerLocation m_location;
    StagingCopy m_copy;
    QUrl m_temporaryDirectory;
    QSet<QString> m_rulesApplied; // staging directories that need "--no-default-patterns"
    FreeSpaceQuery m_freeSpace;
    QThreadPool m_removals;
    std::unique_ptr<PackerService> m_service;
    // m_service for runs on other threads, set once it is ready to take them.
    std::atomic<PackerService *> m_warm{nullptr};
};
