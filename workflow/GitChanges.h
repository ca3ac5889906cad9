#pragma once

#include <QSet>
#include <QString>

#include <stop_token>

// The files of a folder that git reports as modified, added, or untracked and
// not ignored, for "Only changed files". git is run from the PATH with the
// folder as its working directory, without a shell; without git, outside a
// work tree, or when git fails, `available` is false and `reason` says why in
// a few words for a tool tip. Blocks while git runs: call it off the UI thread.
struct GitChanges
{
    bool available = false;
    QString reason;
    QSet<QString> files; // relative to the folder, "/"-separated

    static GitChanges of(const QString &folder, std::stop_token stop = {});
};
