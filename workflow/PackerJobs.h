#pragma once

#include "AppError.h"
#include "FileListModel.h"
#include "ItemTicks.h"
#include "OptionValues.h"
#include "PackRequest.h"
#include "StagingCopy.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <stop_token>

class RepomixWrapper;

// What a run packs, read on the UI thread when the run is started.
struct JobInput
{
    QList<QUrl> files;
    OptionValues options;
    QString ignorePatterns;
    QString includePatterns;
    // Files never packed, wherever they lie: bundles written inside chosen folders.
    QStringList leftOutFiles;
    // What the user left out inside chosen folders, by item (those that take all are not listed).
    QHash<QUrl, ItemTicks> ticks;

    bool operator==(const JobInput &) const = default;
};

// What an estimate or a bundle found besides the totals.
struct JobResult
{
    RunSummary summary;
    // What the staging could not or would not take, with the reason.
    QList<LeftOut> leftOut;
    // The chosen items and their names in the bundle (renamed where two had one name).
    QList<StagedItem> items;
    // Files the packer's secret scan kept out of the bundle, as the packer
    // names them (relative to the staging folder).
    QStringList excludedAsSecrets;
    // Files the packer skipped as binary (relative to the staging folder).
    QStringList skippedAsBinary;
    // Each packed file with its counts, where the warm packer gave them
    // (empty after a run of the packer's command line).
    QList<PackedFile> files;
    // The files a bundle wrote: the chosen file, or its numbered parts.
    QStringList outputFiles;
    // The ticks the run packed with.
    QHash<QUrl, ItemTicks> ticks;

    // Each chosen item's part of the bundle, by the item's location; empty
    // when the run gave no per-file counts.
    QHash<QUrl, FileListModel::Share> shares() const;
};

// The steps of a bundle, for the progress the window shows.
namespace Job {
Q_NAMESPACE
enum class Stage { Copying, Packing, Writing };
Q_ENUM_NS(Stage)
} // namespace Job

// How far a bundle is: its step, and within packing the packer's own step
// with its count where the packer reports one (total 0: no count).
struct JobProgress
{
    Job::Stage stage = Job::Stage::Copying;
    QString packerStep;
    qint64 done = 0;
    qint64 total = 0;
};

// Stages the items, runs the packer into a private scratch file, reads the
// totals, and removes the scratch file and the staging copy again.
Result<JobResult> runEstimate(RepomixWrapper &wrapper, const JobInput &input, std::stop_token stop);

// Stages the items, runs the packer into a private scratch file and, once it
// succeeded, writes the branded bundle to `destination` (or, split, its
// numbered parts: PackerOutput::partPath) in one atomic step per file.
// A failed or stopped run leaves `destination` exactly as it was.
Result<JobResult> runBundle(RepomixWrapper &wrapper, const JobInput &input, const QString &destination,
                            std::stop_token stop, const std::function<void(const JobProgress &)> &onProgress = {});

// Why a bundle cannot be written to `path`, for the user ("“/x” is a
// folder."); empty when it can be tried. A missing folder is never created.
QString destinationProblem(const QString &path);

// Why `destination` must not take the bundle of `input`: it is one of the
// chosen files, or an existing file inside a chosen folder (compared by
// identity where it exists), so writing it would destroy an input. Files
// in `input.leftOutFiles` (earlier bundles) may be replaced. Empty when
// there is no conflict.
QString destinationConflict(const QString &destination, const JobInput &input);

// The chosen folder that `destination` would lie in (a new file there is
// left out of the bundle); empty when none.
QString chosenFolderHolding(const QString &destination, const JobInput &input);

// Copies the packer's output at `from` to `to` (replaced atomically), with the
// product's name in place of the packer's in the text the packer writes itself
// (its header and summary, except the user's own texts in `userTexts`); the
// packed files' contents and paths are copied unchanged. Fails with the
// system's message naming `to`.
Result<bool> writeBranded(const QString &from, const QString &to, std::stop_token stop = {},
                          const QStringList &userTexts = {});
