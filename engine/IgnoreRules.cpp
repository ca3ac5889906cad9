#include "IgnoreRules.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int maximumStarsPerName = 4; // more would make matching slow, and nobody writes them

// JavaScript's String.prototype.trim(), which the packer uses on each pattern.
bool isJavaScriptSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0x09 || u == 0x0A || u == 0x0B || u == 0x0C || u == 0x0D || u == 0x20 || u == 0xA0 || u == 0x1680
        || (u >= 0x2000 && u <= 0x200A) || u == 0x2028 || u == 0x2029 || u == 0x202F || u == 0x205F || u == 0x3000
        || u == 0xFEFF;
}

QString trimmedLikeJavaScript(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isJavaScriptSpace(text.at(begin)))
        ++begin;
    while (end > begin && isJavaScriptSpace(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

bool isPlainClassCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
}

QStringView lastSegment(QStringView path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

// Whether globby, the packer's glob front end, turns a pattern ending in
// "**/name" (a name without wildcards or extension) into "**/name/**".
bool expandsAsFolder(const QString &text)
{
    static const QRegularExpression globstarName(QStringLiteral(R"(\*\*/([^/]+)$)"));
    const QRegularExpressionMatch match = globstarName.match(text);
    if (!match.hasMatch())
        return false;
    const QString name = match.captured(1);
    static const QRegularExpression wildcards(QStringLiteral(R"([*?[\]{}])"));
    const bool hasExtension = !name.startsWith(u'.') && name.lastIndexOf(u'.') > 0;
    return !name.contains(wildcards) && !hasExtension;
}

// A pattern after the packer's first steps: the text that is matched and,
// when globby's folder check still applies, the form that check looks at.
struct Prepared
{
    QString text;
    QString beforeFolderCheck;
    bool onlyIfFolder = false;
};

// Globby's step: a pattern ending in "**/name" covers the name's tree; one
// that names an existing folder does too (left to forRoot).
Prepared expandFolders(QString text)
{
    if (expandsAsFolder(text))
        return {text + QLatin1String("/**"), QString()};
    Prepared prepared{text, text};
    if (text.endsWith(u'/')) {
        // "x/" names a folder or nothing: no file path ends in "/".
        while (prepared.beforeFolderCheck.endsWith(u'/'))
            prepared.beforeFolderCheck.chop(1);
        prepared.text = prepared.beforeFolderCheck;
        prepared.onlyIfFolder = true;
    }
    return prepared;
}

// An ignore pattern: the packer's own normalisation, then globby's, then
// the glob library's, which drops a leading "!".
std::optional<Prepared> prepareIgnore(const QString &raw)
{
    // Patterns that name ignore files are matched by another library, with
    // other rules; they are not handled here.
    QString stripped = raw;
    while (stripped.endsWith(u'/'))
        stripped.chop(1);
    static const QStringList controlFiles{QStringLiteral(".gitignore"), QStringLiteral(".ignore"),
                                          QStringLiteral(".repomixignore")};
    if (!stripped.startsWith(u'!') && controlFiles.contains(lastSegment(stripped)))
        return std::nullopt;

    QString text = raw;
    if (text.endsWith(u'/') && !text.endsWith(QLatin1String("**/")))
        text.chop(1);
    else if (text.startsWith(QLatin1String("**/")) && !text.contains(QLatin1String("/**")))
        text += QLatin1String("/**");
    if (text.startsWith(u'!'))
        text.remove(0, 1);
    if (text.startsWith(u'!'))
        return std::nullopt; // a negation again, which the glob library would apply
    return expandFolders(text);
}

// An include pattern (without its "!"): the packer escapes brackets,
// parentheses and backslashes, then globby expands folders.
Prepared prepareInclude(const QString &raw)
{
    QString text;
    for (const QChar c : raw) {
        if (c == u'\\' || c == u'(' || c == u')' || c == u'[' || c == u']')
            text += u'\\';
        text += c;
    }
    return expandFolders(text);
}

// The glob library's brace expansion: "a{b,c{d,e}}f" gives abf, acdf and
// acef. False for what it would read otherwise (ranges, a brace without
// alternatives, unbalanced braces) or for too many results.
bool expandBraces(const QString &text, bool escapes, QStringList &out)
{
    constexpr qsizetype maximumResults = 256;
    qsizetype open = -1;
    int depth = 0;
    QList<qsizetype> commas;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (escapes && c == u'\\') {
            ++i;
            continue;
        }
        if (c == u'{') {
            if (depth++ == 0)
                open = i;
        } else if (c == u'}') {
            if (--depth < 0)
                return false;
            if (depth == 0) {
                if (commas.isEmpty())
                    return false;
                const QString prefix = text.left(open);
                const QString suffix = text.mid(i + 1);
                qsizetype from = open + 1;
                commas << i;
                for (const qsizetype comma : std::as_const(commas)) {
                    const QString alternative = text.mid(from, comma - from);
                    if (alternative.contains(QLatin1String("..")) && !alternative.contains(u'/'))
                        return false; // a range, or a segment the search reads differently
                    if (!expandBraces(prefix + alternative + suffix, escapes, out) || out.size() > maximumResults)
                        return false;
                    from = comma + 1;
                }
                return true;
            }
        } else if (c == u',' && depth == 1) {
            commas << i;
        }
    }
    if (depth != 0)
        return false;
    QString single = text;
    static const QRegularExpression slashes(QStringLiteral("/{2,}"));
    single.replace(slashes, QStringLiteral("/"));
    out << single;
    return true;
}

} // namespace

// --- Parsing ----------------------------------------------------------------

bool IgnoreRules::parseGlob(QStringView text, Glob &glob, bool escapes)
{
    static const QString special = QStringLiteral("\\{}()|+@!^$");
    int stars = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        Token token;
        if (escapes && c == u'\\') {
            if (++i == text.size())
                return false;
            token.ch = text.at(i).unicode();
        } else if (c == u'*') {
            if (i + 1 < text.size() && text.at(i + 1) == u'*')
                return false; // "**" only as a whole segment
            if (++stars > maximumStarsPerName)
                return false;
            token.kind = Token::Star;
        } else if (c == u'?') {
            token.kind = Token::Any;
        } else if (c == u'[' && !escapes) {
            const qsizetype close = text.indexOf(u']', i + 1);
            if (close < 0)
                return false;
            QStringView content = text.mid(i + 1, close - i - 1);
            token.kind = Token::Class;
            if (!content.isEmpty() && (content.front() == u'!' || content.front() == u'^')) {
                token.negated = true;
                content = content.mid(1);
            }
            if (content.isEmpty())
                return false;
            bool hasRange = false;
            for (qsizetype k = 0; k < content.size(); ++k) {
                const QChar low = content.at(k);
                if (!isPlainClassCharacter(low))
                    return false;
                if (k + 2 < content.size() && content.at(k + 1) == u'-') {
                    const QChar high = content.at(k + 2);
                    if (!isPlainClassCharacter(high) || high < low)
                        return false;
                    token.ranges.emplace_back(low.unicode(), high.unicode());
                    hasRange = true;
                    k += 2;
                } else {
                    token.ranges.emplace_back(low.unicode(), low.unicode());
                }
            }
            if (!token.negated && !hasRange)
                token.literal = text.mid(i, close - i + 1).toString();
            i = close;
        } else if (c == u']' || special.contains(c)) {
            return false;
        } else {
            token.ch = c.unicode();
        }
        glob.tokens.push_back(std::move(token));
    }

    glob.endsWithStar = !glob.tokens.empty() && glob.tokens.back().kind == Token::Star;
    const auto isChar = [](const Token &token) { return token.kind == Token::Char; };
    const auto characters = [&glob](std::size_t from) { // the text of Char tokens, escapes resolved
        QString text;
        for (std::size_t i = from; i < glob.tokens.size(); ++i)
            text += QChar(glob.tokens[i].ch);
        return text;
    };
    if (std::all_of(glob.tokens.begin(), glob.tokens.end(), isChar)) {
        glob.kind = Glob::Literal;
        glob.text = characters(0);
    } else if (glob.tokens.front().kind == Token::Star && std::all_of(glob.tokens.begin() + 1, glob.tokens.end(), isChar)) {
        glob.kind = Glob::Suffix;
        glob.text = characters(1);
    } else {
        glob.kind = Glob::General;
    }
    return true;
}

std::optional<IgnoreRules::Pattern> IgnoreRules::parse(const QString &text, bool escapes)
{
    Pattern pattern;
    pattern.escapes = escapes;
    QStringView body(text);
    if (body.startsWith(u'/')) {
#if defined(Q_OS_WIN)
        return std::nullopt; // the search compares such patterns with drive paths there
#else
        pattern.absolute = true;
        body = body.mid(1);
#endif
    }
    if (body.isEmpty() || body.startsWith(u'!') || body.startsWith(u'#') || (escapes && body.contains(QLatin1String("\\/"))))
        return std::nullopt;
    for (const QStringView part : body.split(u'/')) {
        Segment segment;
        if (part == u"**") {
            if (!pattern.segments.empty() && pattern.segments.back().globstar)
                return std::nullopt;
            segment.globstar = true;
        } else if (part.isEmpty() || part == u"." || part == u".." || !parseGlob(part, segment.glob, escapes)) {
            return std::nullopt;
        }
        pattern.segments.push_back(std::move(segment));
    }
    const std::vector<Segment> &segments = pattern.segments;
    const Segment &last = segments.back();
    // The search prunes folders with relative patterns only.
    pattern.affectsDepth = !pattern.absolute
        && (body.endsWith(QLatin1String("/**")) || (!last.globstar && last.glob.kind == Glob::Literal));
    pattern.trailingNeedsName = last.globstar && segments.size() >= 2 && segments[segments.size() - 2].glob.endsWithStar;
    return pattern;
}

bool IgnoreRules::parseExpanded(const QString &text, bool escapes, std::vector<Pattern> &patterns)
{
    QStringList expanded;
    if (!expandBraces(text, escapes, expanded))
        return false;
    for (const QString &alternative : std::as_const(expanded)) {
        std::optional<Pattern> pattern = parse(alternative, escapes);
        if (!pattern)
            return false;
        patterns.push_back(std::move(*pattern));
    }
    return true;
}

IgnoreRules IgnoreRules::fromList(const QStringList &patterns, List list, QStringList *unmatched, const QList<int> &orders)
{
    IgnoreRules rules;
    for (qsizetype i = 0; i < patterns.size(); ++i) {
        const QString &raw = patterns.at(i);
        const bool include = list == List::Include;
        const std::optional<Prepared> prepared = include ? prepareInclude(raw) : prepareIgnore(raw);
        std::vector<Pattern> parsed;
        if (!prepared || !parseExpanded(prepared->text, include, parsed)) {
            if (unmatched)
                *unmatched << raw;
            continue;
        }
        for (Pattern &pattern : parsed) {
            pattern.order = orders.isEmpty() ? static_cast<int>(i) : orders.value(i);
            pattern.beforeFolderCheck = prepared->beforeFolderCheck;
            pattern.onlyIfFolder = prepared->onlyIfFolder;
            rules.m_patterns.push_back(std::move(pattern));
        }
    }
    return rules;
}

std::optional<IgnoreRules> IgnoreRules::fromPatterns(const QStringList &patterns, bool strict, QString *problem)
{
    QStringList unmatched;
    IgnoreRules rules = fromList(patterns, List::Ignore, &unmatched);
    if (strict && !unmatched.isEmpty()) {
        if (problem)
            *problem = QStringLiteral("the pattern \"%1\" is not understood here").arg(unmatched.first());
        return std::nullopt;
    }
    return rules;
}

QStringList IgnoreRules::splitPatterns(const QString &text)
{
    QStringList result;
    QString current;
    int braceLevel = 0;
    for (const QChar c : text) {
        if (c == u'{') {
            ++braceLevel;
            current += c;
        } else if (c == u'}') {
            --braceLevel;
            current += c;
        } else if (c == u',' && braceLevel == 0) {
            if (!current.isEmpty()) {
                result << trimmedLikeJavaScript(current);
                current.clear();
            }
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        result << trimmedLikeJavaScript(current);
    return result;
}

IgnoreRules IgnoreRules::forRoot(const std::function<bool(const QString &)> &isDirectory, LiteralFolders mode) const
{
    IgnoreRules rules;
    for (const Pattern &pattern : m_patterns) {
        const bool folder = !pattern.beforeFolderCheck.isEmpty() && isDirectory(pattern.beforeFolderCheck);
        if (!folder) {
            if (!pattern.onlyIfFolder)
                rules.m_patterns.push_back(pattern);
            continue;
        }
        if (mode == LiteralFolders::Drop)
            continue;
        std::optional<Pattern> expanded = parse(pattern.beforeFolderCheck + QLatin1String("/**"), pattern.escapes);
        if (expanded) {
            expanded->order = pattern.order;
            rules.m_patterns.push_back(std::move(*expanded));
        } else if (!pattern.onlyIfFolder) {
            rules.m_patterns.push_back(pattern);
        }
    }
    return rules;
}

// --- Matching ---------------------------------------------------------------

bool IgnoreRules::matchTokens(const std::vector<Token> &tokens, std::size_t at, QStringView name)
{
    for (; at < tokens.size(); ++at) {
        const Token &token = tokens[at];
        switch (token.kind) {
        case Token::Char:
            if (name.isEmpty() || name.front().unicode() != token.ch)
                return false;
            name = name.mid(1);
            break;
        case Token::Any:
            if (name.isEmpty())
                return false;
            name = name.mid(1);
            break;
        case Token::Star:
            if (at + 1 == tokens.size())
                return true;
            for (qsizetype skip = 0; skip <= name.size(); ++skip) {
                if (matchTokens(tokens, at + 1, name.mid(skip)))
                    return true;
            }
            return false;
        case Token::Class: {
            if (!token.literal.isEmpty() && name.startsWith(token.literal)
                && matchTokens(tokens, at + 1, name.mid(token.literal.size())))
                return true;
            if (name.isEmpty())
                return false;
            const char16_t c = name.front().unicode();
            bool inside = false;
            for (const auto &[low, high] : token.ranges)
                inside = inside || (c >= low && c <= high);
            if (inside == token.negated)
                return false;
            name = name.mid(1);
            break;
        }
        }
    }
    return name.isEmpty();
}

bool IgnoreRules::Glob::matches(QStringView name) const
{
    switch (kind) {
    case Literal:
        return name == text;
    case Suffix:
        return name.endsWith(text);
    case General:
        break;
    }
    return matchTokens(tokens, 0, name);
}

void IgnoreRules::addClosure(std::vector<Cursor::State> &states, Cursor::State state) const
{
    // States are added in the order of their patterns, so a duplicate can
    // only be among the last few.
    for (auto it = states.rbegin(); it != states.rend() && it->pattern == state.pattern; ++it) {
        if (*it == state)
            return;
    }
    states.push_back(state);
    const std::vector<Segment> &segments = m_patterns[state.pattern].segments;
    // "**" may also take no name at all: what follows it can match here too.
    if (state.segment + 1u < segments.size() && segments[state.segment].globstar)
        addClosure(states, {state.pattern, static_cast<std::uint16_t>(state.segment + 1), false});
}

IgnoreRules::Cursor IgnoreRules::start(QStringView absoluteRoot) const
{
    Cursor cursor;
    Cursor absolute;
    for (std::uint32_t p = 0; p < m_patterns.size(); ++p)
        addClosure(m_patterns[p].absolute ? absolute.m_states : cursor.m_states, {p, 0, false});
    if (absolute.isDead() || absoluteRoot.isEmpty())
        return cursor;
    for (const QStringView name : absoluteRoot.split(u'/', Qt::SkipEmptyParts))
        absolute = step(absolute, name);
    // States stay grouped by pattern, as step() expects.
    cursor.m_states.insert(cursor.m_states.end(), absolute.m_states.begin(), absolute.m_states.end());
    std::sort(cursor.m_states.begin(), cursor.m_states.end(), [](const Cursor::State &a, const Cursor::State &b) {
        return a.pattern < b.pattern || (a.pattern == b.pattern && a.segment < b.segment);
    });
    return cursor;
}

IgnoreRules::Cursor IgnoreRules::step(const Cursor &at, QStringView name) const
{
    Cursor next;
    next.m_states.reserve(at.m_states.size());
    for (const Cursor::State &state : at.m_states) {
        const std::vector<Segment> &segments = m_patterns[state.pattern].segments;
        if (state.segment >= segments.size())
            continue; // the whole pattern is used up: nothing deeper matches it
        const Segment &segment = segments[state.segment];
        if (segment.globstar)
            addClosure(next.m_states, {state.pattern, state.segment, true});
        else if (segment.glob.matches(name))
            addClosure(next.m_states, {state.pattern, static_cast<std::uint16_t>(state.segment + 1), false});
    }
    return next;
}

int IgnoreRules::lastMatch(const Cursor &at, bool directoriesOnly) const
{
    int last = -1;
    for (const Cursor::State &state : at.m_states) {
        const Pattern &pattern = m_patterns[state.pattern];
        if ((directoriesOnly && !pattern.affectsDepth) || pattern.order <= last)
            continue;
        const std::size_t size = pattern.segments.size();
        if (state.segment == size
            || (state.segment + 1u == size && pattern.segments.back().globstar
                && (state.consumed || !pattern.trailingNeedsName)))
            last = pattern.order;
    }
    return last;
}

bool IgnoreRules::accepts(const Cursor &at, bool directoriesOnly) const
{
    return lastMatch(at, directoriesOnly) >= 0;
}

bool IgnoreRules::walk(QStringView relativePath, bool directory) const
{
    Cursor cursor = start();
    for (const QStringView name : relativePath.split(u'/'))
        cursor = step(cursor, name);
    return accepts(cursor, directory);
}

bool IgnoreRules::ignoresFile(QStringView relativePath) const
{
    return walk(relativePath, false);
}

bool IgnoreRules::ignoresDirectory(QStringView relativePath) const
{
    return walk(relativePath, true);
}
