#pragma once

#include "PackerJobs.h"

#include <QString>
#include <QStringList>

// Turning what the system and the packer say into text for the user.
namespace UserText {

// The packer's message without terminal colour codes, without the private
// staging and scratch paths it was given (so a path reads as the user's own
// item), and trimmed.
QString cleaned(const QString &message);

// Why something was not staged, in a few words ("cannot be read").
QString reason(LeftOutReason reason);

// A path for one line of text: in the system's form, with line breaks and
// other control characters written as escapes ("a\\nb"), so that a name
// cannot break the line it is shown on.
QString displayPath(const QString &path);

// The user's own path of a path below the staging root as the packer names
// it ("src (2)/main.c" is the second chosen "src"), in the system's form.
QString userPath(const QList<StagedItem> &items, const QString &stagedPath);

// What a finished run left out that the user may not expect, one line each,
// each path once and as the user's absolute path ("/home/me/notes.swp:
// vanished while it was copied"): items and files that could not be staged,
// binary files (listed, not packed), chosen items that packed nothing, and
// files the secret scan excluded. Files left out by the default rules or the
// user's patterns, as intended, are not listed.
QStringList leftOut(const JobResult &result);

// Why a run packed nothing: "nothing to bundle: 3 files match the ignore
// patterns, 1 cannot be read".
QString nothingPacked(const JobResult &result);

} // namespace UserText
