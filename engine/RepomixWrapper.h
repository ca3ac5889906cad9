#pragma once

#include "AppError.h"
#include "ItemTicks.h"
#include "CommandLineRunner.h"
#include "PackRequest.h"
#include "PackerLocation.h"
#include "PackerRunner.h"
#include "StagingCopy.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QString>
#include <QThreadPool>
#include <QUrl>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

class PackerService;

// What to stage: the chosen items (file URLs, in order) and what to leave out of them.
struct StagingInput
{
    QList<QUrl> items;
    QString ignorePatterns;  // comma-separated, as the user typed them
    QString includePatterns; // comma-separated: only what they match
    QStringList leftOutFiles; // files never staged, wherever they lie (the bundle's own files)
    QHash<QUrl, ItemTicks> ticks; // what the user left out inside chosen folders
};

// The runner: stages the user's items privately and runs the packer on them.
// Runs go to the warm packer (PackerService) once startService() was called
// and it can serve them, and to the packer's command line otherwise, so that
// a broken service never breaks a run. Not thread-safe: one caller at a time
// (the workflow keeps it on one serial worker); only the stop tokens may be
// used from other threads.
class RepomixWrapper
{
public:
    // Free bytes on the disk that holds `path`; nothing when unknown.
    using FreeSpaceQuery = std::function<std::optional<std::uintmax_t>(const std::filesystem::path &path)>;

    explicit RepomixWrapper(PackerLocation location = PackerLocation::bundled());
    ~RepomixWrapper();

    RepomixWrapper(const RepomixWrapper &) = delete;
    RepomixWrapper &operator=(const RepomixWrapper &) = delete;

    // Stages the items in a new private directory
    // "repomix-temp-<UUID>" in the session folder (PrivateArea) and says what
    // went where and what was left out (StagingCopy), with the user's ignore
    // and include patterns applied to each item. Chosen items with the
    // same name get distinct names ("README (2).md"). Fails before anything
    // is written when the temporary disk lacks the room for the copies and
    // the output; a failure removes the partial directory.
    Result<Staging> stage(const StagingInput &input, std::stop_token stop = {});

    // Runs the packer for `request` and reads what it reported. The output
    // (request.output) must not exist before the run (pass a fresh
    // PrivateArea::scratchFile); options passed as files (the instructions)
    // are written to private files that go with the run. The packer dies
    // with this process; a stop request ends its whole process group at once.
    // A run the warm packer cannot serve, or that fails inside it for a
    // reason of its own, is run once more on the command line.
    // `progress` hears how far a run of the warm packer is.
    Result<PackResult> pack(PackRequest request, std::stop_token stop = {}, const PackerProgressHandler &progress = {});

    // Starts loading the warm packer in the background, where this
    // installation has it; returns at once. Call it from the thread that
    // made the wrapper.
    void startService();

    // Removes a staging directory made by this wrapper, in the background
    // (links are removed, never followed or written through).
    void discardDirectory(const QUrl &directory);

    const PackerLocation &location() const { return m_location; }
    const StagingCopy &stagingCopy() const { return m_copy; }

    // Files go in as hard links where possible (default), or always as copies.
    void setLinkFiles(bool link) { m_copy.setLinkFiles(link); }
    // Replaces the query of free space (std::filesystem::space by default).
    void setFreeSpaceQuery(FreeSpaceQuery query) { m_freeSpace = std::move(query); }

private:
    PackerLocation m_location;
    StagingCopy m_copy;
    FreeSpaceQuery m_freeSpace;
    QThreadPool m_removals;
    CommandLineRunner m_commandLine;
    std::unique_ptr<PackerService> m_service;
    // m_service for runs on other threads, set once it is ready to take them.
    std::atomic<PackerService *> m_warm{nullptr};
};
