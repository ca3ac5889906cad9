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
// names, "*", "?", simple character classes and "**" as a whole segment.
//
// A pattern goes through what the packer does to it before it matches: a
// trailing "/" is dropped, "**/x" becomes "**/x/**", a pattern ending in
// "**/name" (a name without wildcards or extension) also covers what lies
// below, and a pattern that names an existing folder covers the folder's
// tree (see forRoot). Matching then follows the packer's glob library: "*"
// and "?" never cross "/", dot files are matched like any other, a trailing
// "/**" also matches the path before it unless that segment ends in "*",
// and a class of plain letters also matches its own text ("[ab]" matches
// "a", "b" and "[ab]"). A folder is skipped with its whole tree when a
// pattern that ends in "/**" or in a name without wildcards matches it;
// other patterns only leave out files.
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

    IgnoreRules() = default;

    // Parses patterns as they reach the packer's file search. With `strict`,
    // one pattern outside the known syntax gives nothing (and names it in
    // `problem`); otherwise such patterns are left out of the rules, so that
    // the rules only ever ignore what the packer ignores too.
    static std::optional<IgnoreRules> fromPatterns(const QStringList &patterns, bool strict, QString *problem = nullptr);

    // The user's comma-separated ignore text, split as the packer splits it,
    // reduced to the patterns whose matches are certain: nothing at all when
    // a pattern negates, since that could bring back what others ignore.
    static IgnoreRules certainPatterns(const QString &ignoreText);

    // The packer's own split of comma-separated patterns: commas inside
    // braces do not split, every part is trimmed.
    static QStringList splitPatterns(const QString &text);

    enum class LiteralFolders {
        Expand, // a pattern naming an existing folder also covers its tree, as the packer does
        Drop,   // such patterns are left out, where the folders cannot be known for certain
    };
    // The rules for a search rooted where `isDirectory(relativePath)` tells
    // which paths are folders (links followed).
    IgnoreRules forRoot(const std::function<bool(const QString &)> &isDirectory, LiteralFolders mode) const;

    bool isEmpty() const { return m_patterns.empty(); }
    qsizetype size() const { return static_cast<qsizetype>(m_patterns.size()); }

    // Matching one name at a time along a path, from the search root.
    Cursor start() const;
    Cursor step(const Cursor &at, QStringView name) const;
    // Whether the path walked so far is left out as a file, or as a folder
    // that is not entered at all.
    bool ignoresFile(const Cursor &at) const { return accepts(at, false); }
    bool ignoresDirectory(const Cursor &at) const { return accepts(at, true); }

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
        bool affectsDepth = false;  // a matching folder is not entered
        bool trailingNeedsName = false; // the final "**" must take at least one name
    };

    static std::optional<Pattern> parse(const QString &text);
    static bool parseGlob(QStringView text, Glob &glob);
    static bool matchTokens(const std::vector<Token> &tokens, std::size_t at, QStringView name);
    void addClosure(std::vector<Cursor::State> &states, Cursor::State state) const;
    bool accepts(const Cursor &at, bool directoriesOnly) const;
    bool walk(QStringView relativePath, bool directory) const;

    std::vector<Pattern> m_patterns;
};
