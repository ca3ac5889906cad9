#pragma once

#include "OptionValues.h"
#include "RunSummary.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// What one run of the packer is asked to pack, and how.
struct PackRequest
{
    OptionValues options;
    // Comma-separated, as the user typed them; for a staging, what it left
    // to the packer at its root (Staging::rootIgnorePatterns and
    // rootIncludePatterns).
    QString ignorePatterns;
    QString includePatterns; // only what they match is packed
    QString directory;       // the folder to pack (a staging directory)
    QString output;          // the file the packer writes; must not exist before the run
    // The staging applied the packer's default rules per chosen folder, so
    // the packer must not apply them again at the staging root.
    bool defaultRulesApplied = false;
    // The staging applied the user's ignore and include patterns per chosen
    // folder, so the packer must not apply them again at the staging root.
    bool patternsApplied = false;
    // The private files that hold the values of the options passed as files
    // (OptionSpec::Packer::File), by the option's key; set by the runner.
    QHash<QString, QString> optionFiles;

    bool operator==(const PackRequest &) const = default;
};

// One file of a bundle as the packer counted it.
struct PackedFile
{
    QString path; // relative to the packed directory, as the packer shows it
    qint64 characters = 0;
    qint64 tokens = 0;

    bool operator==(const PackedFile &) const = default;
};

// What a run of the packer gave.
struct PackResult
{
    RunSummary totals;
    // Each packed file with its counts, in the order of the bundle, where the
    // warm packer served the run (empty after a run of the command line).
    QList<PackedFile> files;
    // Files the secret scan kept out, relative to the packed directory.
    QStringList excludedAsSecrets;
    // Files the packer skipped as binary, relative to the packed directory.
    QStringList skippedAsBinary;
    // What the log keeps of the report: its closing summary.
    QString logDigest;
    // The files written: the output, or its numbered parts when the bundle
    // was split (PackerOutput::partPath).
    QStringList outputFiles;
};

// How far a run is, as the packer's report says it ("Calculating metrics",
// 120 of 300).
struct PackerProgress
{
    QString step;
    qint64 done = 0;
    qint64 total = 0;
};
