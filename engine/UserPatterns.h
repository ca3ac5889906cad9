#pragma once

#include "IgnoreRules.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

// The user's ignore and include patterns (comma-separated, split as the
// packer splits them), applied to each chosen item as the packer applies them
// when it is started on that item alone: a chosen folder is the root of its
// own search, and a chosen file is matched by its name (and, for absolute
// patterns, by its whole path).
//
// Include patterns keep what matches at least one of them; a negated one
// ("!docs/**") takes back what the patterns before it include, and a list of
// negations alone includes everything else. Ignore patterns win over include
// patterns. A negated ignore pattern ignores what it names, as the packer
// does.
//
// Patterns outside the syntax IgnoreRules matches exactly (extended globs
// such as "+(a|b)", escapes, POSIX classes, "." or ".." segments) are left to
// the packer at the staging root, rewritten to start inside each staged
// folder (see forStagingRoot); there they do not apply to chosen files. An
// include list with one such pattern is left to the packer as a whole.
class UserPatterns
{
public:
    UserPatterns() = default;
    UserPatterns(const QString &ignoreText, const QString &includeText);

    // True when every pattern is matched here, so that the packer must get
    // none of them at the staging root (where they would match the staged
    // folders' names).
    bool isExact() const { return m_unmatchedIgnore.isEmpty() && !m_includeLeftToPacker; }

    enum class Verdict { Kept, Ignored, NotIncluded };

    // The patterns of one search root.
    class Root
    {
    public:
        struct Cursor
        {
            IgnoreRules::Cursor ignore;
            IgnoreRules::Cursor include;
            IgnoreRules::Cursor exclude;
            int excludedFrom = -1; // the last negated include that left out a folder on the way
        };
        // `absoluteRoot`: the root's path, for absolute patterns.
        Cursor start(QStringView absoluteRoot) const;
        // One name further along a path; `directory` when it names a folder.
        Cursor step(const Cursor &at, QStringView name, bool directory) const;
        // A folder is Ignored as a whole or Kept (to be entered); a file is
        // Ignored, NotIncluded or Kept.
        Verdict verdict(const Cursor &at, bool directory) const;

    private:
        friend class UserPatterns;
        IgnoreRules m_ignore;
        IgnoreRules m_include; // the include patterns, with their order
        IgnoreRules m_exclude; // the negated include patterns, with their order
        bool m_filters = false; // include patterns apply here
    };

    // The rules for a search rooted where `isDirectory(path)` tells which
    // paths are folders (relative to the root, or absolute).
    Root forRoot(const std::function<bool(const QString &)> &isDirectory) const;

    // What the packer still has to apply at the staging root, as --ignore and
    // --include texts: the patterns not matched here, each once for every
    // staged folder, below its name; for include patterns also the staged
    // files (by name), so that the include list leaves them in. `unpacked`
    // (paths below the staging root) are ignored too: ignore files staged
    // only for the rules the packer reads from them. Empty when everything
    // was matched here and nothing is to be kept out.
    struct PackerPatterns
    {
        QString ignore;
        QString include;
    };
    PackerPatterns forStagingRoot(const QStringList &stagedFolders, const QStringList &stagedFiles,
                                  const QStringList &unpacked = {}) const;

private:
    IgnoreRules m_ignore;
    IgnoreRules m_include;
    IgnoreRules m_exclude;
    QStringList m_unmatchedIgnore;
    QStringList m_includePatterns;   // as given, when they are left to the packer
    bool m_includeLeftToPacker = false;
    bool m_filters = false;
};
