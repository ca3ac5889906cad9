#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Ignore patterns matched exactly as the packer's file search matches them,
// for the part of the glob syntax whose behaviour is known here: literal
// names, "*", "?", simple character classes, "**" as a whole segment, brace
// alternatives ("*.{js,ts}") and absolute patterns ("/home/me/x").
//
// A pattern goes through what the packer does to it before it matches: a
// trailing "/" is dropped, "**/x" becomes "**/x/**", a pattern ending in
// "**/name" (a name without wildcards or extension) also covers what lies
// below, a pattern that names an existing folder covers the folder's tree
// (see forRoot), braces are expanded, and a leading "!" of an ignore pattern
// is dropped (the packer ignores what a negated ignore pattern names, it
// does not bring it back). Matching then follows the packer's glob library:
// "*" and "?" never cross "/", dot files are matched like any other, a
// trailing "/**" also matches the path before it unless that segment ends
// in "*", and a class of plain letters also matches its own text ("[ab]"
// matches "a", "b" and "[ab]"). A folder is skipped with its whole tree when
// a pattern that ends in "/**" or in a name without wildcards matches it;
// other patterns only leave out files. An absolute pattern is matched
// against the whole path, from the root of the file system, and only ever
// leaves out files.
//
// Include patterns (List::Include) take brackets, parentheses and
// backslashes literally, as the packer escapes them, and are not normalised
// like ignore patterns; their negations are handled by UserPatterns.
//
// Paths are relative to the search root, "/"-separated, and compared in
// UTF-16 code units, case-sensitively, as the packer compares them.
class IgnoreRules
{
public:
    // How far matching got along one path.
    class Cursor
    {
    public:
        bool isDead() const { return m_states.empty(); }

    private:
        friend class IgnoreRules;
        struct State
        {
            std::uint32_t pattern;
            std::uint16_t segment;
            bool consumed; // the "**" at `segment` has taken at least one name
            bool operator==(const State &) const = default;
        };
        std::vector<State> m_states;
    };

    // The packer's lists of patterns, which it prepares differently.
    enum class List {
        Ignore,  // --ignore and the default rules
        Include, // --include, each pattern without a leading "!"
    };

    IgnoreRules() = default;

    // Parses patterns as they reach the packer's file search. With `strict`,
    // one pattern outside the known syntax gives nothing (and names it in
    // `problem`); otherwise such patterns are left out of the rules, so that
    // the rules only ever ignore what the packer ignores too.
    static std::optional<IgnoreRules> fromPatterns(const QStringList &patterns, bool strict, QString *problem = nullptr);

    // Parses patterns of one of the packer's lists; the patterns outside the
    // known syntax are left out and, with `unmatched`, listed there as given.
    // `orders` gives each pattern the order lastMatch() reports (its index
    // when empty).
    static IgnoreRules fromList(const QStringList &patterns, List list, QStringList *unmatched,
                                const QList<int> &orders = {});

    // The packer's own split of comma-separated patterns: commas inside
    // braces do not split, every part is trimmed.
    static QStringList splitPatterns(const QString &text);

    enum class LiteralFolders {
        Expand, // a pattern naming an existing folder also covers its tree, as the packer does
        Drop,   // such patterns are left out, where the folders cannot be known for certain
    };
    // The rules for a search rooted where `isDirectory(path)` tells which
    // paths are folders (links followed); the path is relative to the root,
    // or absolute for an absolute pattern.
    IgnoreRules forRoot(const std::function<bool(const QString &)> &isDirectory, LiteralFolders mode) const;

    bool isEmpty() const { return m_patterns.empty(); }
    qsizetype size() const { return static_cast<qsizetype>(m_patterns.size()); }

    // Matching one name at a time along a path, from the search root; with
    // the root's absolute path, absolute patterns take part too.
    Cursor start(QStringView absoluteRoot = {}) const;
    Cursor step(const Cursor &at, QStringView name) const;
    // Whether the path walked so far is left out as a file, or as a folder
    // that is not entered at all.
    bool ignoresFile(const Cursor &at) const { return accepts(at, false); }
    bool ignoresDirectory(const Cursor &at) const { return accepts(at, true); }
    // The highest order among the patterns that match the path walked so
    // far (as a folder that is not entered, with `directory`); -1 for none.
    int lastMatch(const Cursor &at, bool directory) const;

    // The same for a whole relative path.
    bool ignoresFile(QStringView relativePath) const;
    bool ignoresDirectory(QStringView relativePath) const;

private:
    struct Token
    {
        enum Kind : std::uint8_t { Char, Star, Any, Class } kind = Char;
        char16_t ch = 0;
        bool negated = false;
        std::vector<std::pair<char16_t, char16_t>> ranges; // Class
        QString literal;                                   // Class: its own text, when it also matches that
    };
    struct Glob
    {
        enum Kind : std::uint8_t { Literal, Suffix, General } kind = Literal;
        QString text; // Literal: the name; Suffix: what follows the leading "*"
        std::vector<Token> tokens;
        bool endsWithStar = false;
        bool matches(QStringView name) const;
    };
    struct Segment
    {
        bool globstar = false;
        Glob glob;
    };
    struct Pattern
    {
        QString beforeFolderCheck;  // the form the folder check looks at, when it applies
        std::vector<Segment> segments;
        int order = 0;
        bool absolute = false;      // matched from the root of the file system
        bool escapes = false;       // "\\x" stands for "x" (include patterns)
        bool onlyIfFolder = false;  // names a folder ("x/"), or nothing at all
        bool affectsDepth = false;  // a matching folder is not entered
        bool trailingNeedsName = false; // the final "**" must take at least one name
    };

    static std::optional<Pattern> parse(const QString &text, bool escapes);
    static bool parseGlob(QStringView text, Glob &glob, bool escapes);
    // The patterns one prepared text stands for (one per brace alternative);
    // false when it is outside the known syntax.
    static bool parseExpanded(const QString &text, bool escapes, std::vector<Pattern> &patterns);
    static bool matchTokens(const std::vector<Token> &tokens, std::size_t at, QStringView name);
    void addClosure(std::vector<Cursor::State> &states, Cursor::State state) const;
    bool accepts(const Cursor &at, bool directoriesOnly) const;
    bool walk(QStringView relativePath, bool directory) const;

    std::vector<Pattern> m_patterns;
};
