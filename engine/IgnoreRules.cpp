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

// The packer's first steps with a pattern (its own normalisation, then the
// glob library's expansion of "**/name"). Returns the pattern as it is
// matched and, when the folder check still applies, the form it looks at.
struct Prepared
{
    QString text;
    QString beforeFolderCheck;
};

std::optional<Prepared> prepare(const QString &raw)
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

    static const QRegularExpression globstarName(QStringLiteral(R"(\*\*/([^/]+)$)"));
    const QRegularExpressionMatch match = globstarName.match(text);
    if (match.hasMatch()) {
        const QString name = match.captured(1);
        static const QRegularExpression wildcards(QStringLiteral(R"([*?[\]{}])"));
        const bool hasExtension = !name.startsWith(u'.') && name.lastIndexOf(u'.') > 0;
        if (!name.contains(wildcards) && !hasExtension)
            return Prepared{text + QLatin1String("/**"), QString()};
    }
    return Prepared{text, text};
}

} // namespace

// --- Parsing ----------------------------------------------------------------

bool IgnoreRules::parseGlob(QStringView text, Glob &glob)
{
    static const QString special = QStringLiteral("\\{}()|+@!^$");
    int stars = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        Token token;
        if (c == u'*') {
            if (i + 1 < text.size() && text.at(i + 1) == u'*')
                return false; // "**" only as a whole segment
            if (++stars > maximumStarsPerName)
                return false;
            token.kind = Token::Star;
        } else if (c == u'?') {
            token.kind = Token::Any;
        } else if (c == u'[') {
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
    if (std::all_of(glob.tokens.begin(), glob.tokens.end(), isChar)) {
        glob.kind = Glob::Literal;
        glob.text = text.toString();
    } else if (glob.tokens.front().kind == Token::Star && std::all_of(glob.tokens.begin() + 1, glob.tokens.end(), isChar)) {
        glob.kind = Glob::Suffix;
        glob.text = text.mid(1).toString();
    } else {
        glob.kind = Glob::General;
    }
    return true;
}

std::optional<IgnoreRules::Pattern> IgnoreRules::parse(const QString &text)
{
    if (text.isEmpty() || text.startsWith(u'/') || text.startsWith(u'!') || text.startsWith(u'#'))
        return std::nullopt;
    Pattern pattern;
    for (const QStringView part : QStringView(text).split(u'/')) {
        Segment segment;
        if (part == u"**") {
            if (!pattern.segments.empty() && pattern.segments.back().globstar)
                return std::nullopt;
            segment.globstar = true;
        } else if (part.isEmpty() || part == u"." || part == u".." || !parseGlob(part, segment.glob)) {
            return std::nullopt;
        }
        pattern.segments.push_back(std::move(segment));
    }
    const std::vector<Segment> &segments = pattern.segments;
    const Segment &last = segments.back();
    pattern.affectsDepth = text.endsWith(QLatin1String("/**")) || (!last.globstar && last.glob.kind == Glob::Literal);
    pattern.trailingNeedsName = last.globstar && segments.size() >= 2 && segments[segments.size() - 2].glob.endsWithStar;
    return pattern;
}

std::optional<IgnoreRules> IgnoreRules::fromPatterns(const QStringList &patterns, bool strict, QString *problem)
{
    IgnoreRules rules;
    for (const QString &raw : patterns) {
        const std::optional<Prepared> prepared = prepare(raw);
        std::optional<Pattern> pattern = prepared ? parse(prepared->text) : std::nullopt;
        if (!pattern) {
            if (strict) {
                if (problem)
                    *problem = QStringLiteral("the pattern \"%1\" is not understood here").arg(raw);
                return std::nullopt;
            }
            continue;
        }
        pattern->beforeFolderCheck = prepared->beforeFolderCheck;
        rules.m_patterns.push_back(std::move(*pattern));
    }
    return rules;
}

IgnoreRules IgnoreRules::certainPatterns(const QString &ignoreText)
{
    const QStringList patterns = splitPatterns(ignoreText);
    for (const QString &pattern : patterns) {
        if (pattern.startsWith(u'!'))
            return {};
    }
    return fromPatterns(patterns, false).value_or(IgnoreRules());
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
        if (pattern.beforeFolderCheck.isEmpty() || !isDirectory(pattern.beforeFolderCheck)) {
            rules.m_patterns.push_back(pattern);
            continue;
        }
        if (mode == LiteralFolders::Drop)
            continue;
        std::optional<Pattern> expanded = parse(pattern.beforeFolderCheck + QLatin1String("/**"));
        rules.m_patterns.push_back(expanded ? std::move(*expanded) : pattern);
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

IgnoreRules::Cursor IgnoreRules::start() const
{
    Cursor cursor;
    for (std::uint32_t p = 0; p < m_patterns.size(); ++p)
        addClosure(cursor.m_states, {p, 0, false});
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

bool IgnoreRules::accepts(const Cursor &at, bool directoriesOnly) const
{
    for (const Cursor::State &state : at.m_states) {
        const Pattern &pattern = m_patterns[state.pattern];
        if (directoriesOnly && !pattern.affectsDepth)
            continue;
        const std::size_t size = pattern.segments.size();
        if (state.segment == size)
            return true;
        if (state.segment + 1u == size && pattern.segments.back().globstar
            && (state.consumed || !pattern.trailingNeedsName))
            return true;
    }
    return false;
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
