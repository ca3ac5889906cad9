#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>

// What a staging plan packs (StagingCopy::snapshot), file by file, with each file's identity when
// it was taken (device, inode, size, modification and change times in ns),
// and what it leaves out. Two trusted snapshots that are equal stand for the
// same files with the same contents: any change of a file moves its change
// time, which cannot be set back.
struct SelectionSnapshot
{
    struct File
    {
        QString path; // in the bundle
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uintmax_t size = 0;
        std::int64_t modified = 0;
        std::int64_t changed = 0;
        bool operator==(const File &) const = default;
    };
    QList<File> files;
    QList<QPair<QString, int>> leftOut; // path, reason
    // False where identities cannot tell a change: a file changed within the
    // last seconds (a change within the clock's granularity could hide), a
    // file gone meanwhile, or a system without change times.
    bool trusted = false;

    // True when both are trusted and hold the same files with the same identities.
    bool sameAs(const SelectionSnapshot &other) const
    {
        return trusted && other.trusted && files == other.files && leftOut == other.leftOut;
    }
};
