#include "UserPatterns.h"

#include <algorithm>

namespace {

// A name as a pattern that matches it: characters the packer's glob library
// would read as syntax (or the packer would split or trim at) match any one
// character instead. Include patterns keep brackets, parentheses and
// backslashes, which the packer escapes itself.
QString literal(const QString &name, IgnoreRules::List list)
{
    static const QString syntax = QStringLiteral("*?{}!+@|^$,#");
    static const QString escapedByPacker = QStringLiteral("[]()\\");
    QString pattern = name;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        const bool edgeSpace = c.isSpace() && (i == 0 || i == pattern.size() - 1);
        if (syntax.contains(c) || edgeSpace || (list == IgnoreRules::List::Ignore && escapedByPacker.contains(c)))
            pattern[i] = u'?';
    }
    return pattern;
}

bool isDynamic(QStringView segment)
{
    static const QString syntax = QStringLiteral("*?[]{}()!+@");
    return std::any_of(segment.begin(), segment.end(), [](QChar c) { return syntax.contains(c); });
}

} // namespace

UserPatterns::UserPatterns(const QString &ignoreText, const QString &includeText)
{
    m_ignore = IgnoreRules::fromList(IgnoreRules::splitPatterns(ignoreText), IgnoreRules::List::Ignore, &m_unmatchedIgnore);

    const QStringList include = IgnoreRules::splitPatterns(includeText);
    if (include.isEmpty())
        return;
    // The packer's glob front end: a negation takes back what the patterns
    // before it include; negations alone follow an implicit "**/*".
    QStringList positive, negative;
    QList<int> positiveOrder, negativeOrder;
    int order = 0;
    if (std::all_of(include.begin(), include.end(), [](const QString &p) { return p.startsWith(u'!'); })) {
        positive << QStringLiteral("**/*");
        positiveOrder << order++;
    }
    const bool anyAbsolute = std::any_of(include.begin(), include.end(), [](const QString &p) { return p.startsWith(u'/'); });
    bool exact = true;
    for (const QString &pattern : include) {
        if (!pattern.startsWith(u'!')) {
            positive << pattern;
            positiveOrder << order++;
            continue;
        }
        QString body = pattern.mid(1);
        if (body.startsWith(u'/')) {
            // A negation from "/" is relative to the root, unless it names a
            // real absolute path that an absolute include may also name.
            const QStringView inner = QStringView(body).mid(1);
            const qsizetype slash = inner.indexOf(u'/');
            if (slash > 0 && !isDynamic(inner.left(slash)) && anyAbsolute)
                exact = false;
            body.remove(0, 1);
        }
        negative << body;
        negativeOrder << order++;
    }
    QStringList unmatched;
    m_include = IgnoreRules::fromList(positive, IgnoreRules::List::Include, &unmatched, positiveOrder);
    m_exclude = IgnoreRules::fromList(negative, IgnoreRules::List::Include, &unmatched, negativeOrder);
    if (exact && unmatched.isEmpty()) {
        m_filters = true;
    } else {
        m_includeLeftToPacker = true;
        m_includePatterns = include;
        m_include = m_exclude = IgnoreRules();
    }
}

UserPatterns::Root UserPatterns::forRoot(const std::function<bool(const QString &)> &isDirectory) const
{
    Root root;
    root.m_ignore = m_ignore.forRoot(isDirectory, IgnoreRules::LiteralFolders::Expand);
    root.m_include = m_include.forRoot(isDirectory, IgnoreRules::LiteralFolders::Expand);
    root.m_exclude = m_exclude.forRoot(isDirectory, IgnoreRules::LiteralFolders::Expand);
    root.m_filters = m_filters;
    return root;
}

UserPatterns::Root::Cursor UserPatterns::Root::start(QStringView absoluteRoot) const
{
    return {m_ignore.start(absoluteRoot), m_include.start(absoluteRoot), m_exclude.start(absoluteRoot), -1};
}

UserPatterns::Root::Cursor UserPatterns::Root::step(const Cursor &at, QStringView name, bool directory) const
{
    Cursor next{at.ignore.isDead() ? at.ignore : m_ignore.step(at.ignore, name),
                at.include.isDead() ? at.include : m_include.step(at.include, name),
                at.exclude.isDead() ? at.exclude : m_exclude.step(at.exclude, name), at.excludedFrom};
    // A negated include that matches a folder keeps the search of the
    // patterns before it out of that folder.
    if (directory && m_filters)
        next.excludedFrom = std::max(next.excludedFrom, m_exclude.lastMatch(next.exclude, true));
    return next;
}

UserPatterns::Verdict UserPatterns::Root::verdict(const Cursor &at, bool directory) const
{
    if (directory)
        return m_ignore.ignoresDirectory(at.ignore) ? Verdict::Ignored : Verdict::Kept;
    if (m_ignore.ignoresFile(at.ignore))
        return Verdict::Ignored;
    if (!m_filters)
        return Verdict::Kept;
    const int excluded = std::max(at.excludedFrom, m_exclude.lastMatch(at.exclude, false));
    return m_include.lastMatch(at.include, false) > excluded ? Verdict::Kept : Verdict::NotIncluded;
}

UserPatterns::PackerPatterns UserPatterns::forStagingRoot(const QStringList &stagedFolders,
                                                          const QStringList &stagedFiles,
                                                          const QStringList &unpacked) const
{
    using List = IgnoreRules::List;
    PackerPatterns packer;
    QStringList ignore;
    for (const QString &pattern : m_unmatchedIgnore) {
        // What the packer does to the pattern before it matches, as far as a
        // prefix would change it.
        QString text = pattern;
        if (text.startsWith(u'!')) {
            text.remove(0, 1);
        } else if (text.startsWith(QLatin1String("**/")) && !text.contains(QLatin1String("/**"))
                   && !text.endsWith(QLatin1String(".gitignore")) && !text.endsWith(QLatin1String(".ignore"))
                   && !text.endsWith(QLatin1String(".repomixignore"))) {
            text += QLatin1String("/**");
        }
        if (text.startsWith(u'/')) {
            ignore << text; // matched against whole paths anyway
            continue;
        }
        for (const QString &folder : stagedFolders)
            ignore << literal(folder, List::Ignore) + u'/' + text;
    }
    // Names of ignore files: the packer reads such a file for its rules
    // even when a pattern names it, and leaves it out of the bundle.
    for (const QString &path : unpacked) {
        QStringList parts = path.split(u'/');
        for (QString &part : parts)
            part = literal(part, List::Ignore);
        ignore << parts.join(u'/');
    }
    packer.ignore = ignore.join(u',');

    if (!m_includeLeftToPacker)
        return packer;
    QStringList include;
    const bool negationsOnly = std::all_of(m_includePatterns.begin(), m_includePatterns.end(),
                                           [](const QString &p) { return p.startsWith(u'!'); });
    if (!negationsOnly) {
        for (const QString &file : stagedFiles)
            include << literal(file, List::Include);
    }
    for (const QString &pattern : m_includePatterns) {
        const bool negated = pattern.startsWith(u'!');
        QString body = negated ? pattern.mid(1) : pattern;
        if (body.startsWith(u'/')) {
            if (!negated) {
                include << body;
                continue;
            }
            body.remove(0, 1);
        }
        for (const QString &folder : stagedFolders)
            include << (negated ? QStringLiteral("!") : QString()) + literal(folder, List::Include) + u'/' + body;
    }
    packer.include = include.join(u',');
    return packer;
}
