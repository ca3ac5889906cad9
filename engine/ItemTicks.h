#pragma once

#include <QSet>
#include <QString>

#include <optional>

// Which files of one chosen folder the user takes: all of them but the
// unticked files and folders, or (with "only changed files") just the files
// listed. Paths are relative to the chosen folder, "/"-separated.
struct ItemTicks
{
    QSet<QString> unticked;                 // files and folders left out, with all they hold
    std::optional<QSet<QString>> onlyFiles; // when set, only these files are taken

    bool takesAll() const { return unticked.isEmpty() && !onlyFiles; }

    // Whether the file or folder at `relative` is taken (a folder: whether
    // anything below it may be).
    bool takes(const QString &relative, bool folder) const
    {
        for (QString at = relative;; at = at.left(at.lastIndexOf(u'/'))) {
            if (unticked.contains(at))
                return false;
            if (!at.contains(u'/'))
                break;
        }
        if (!onlyFiles)
            return true;
        if (!folder)
            return onlyFiles->contains(relative);
        const QString prefix = relative + u'/';
        for (const QString &file : *onlyFiles) {
            if (file.startsWith(prefix))
                return true;
        }
        return false;
    }

    bool operator==(const ItemTicks &) const = default;
};
