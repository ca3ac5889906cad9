#include "RunSummary.h"

#include <QHash>
#include <QMutex>
#include <QRegularExpression>

#include <limits>

namespace {

bool isNewline(QChar c)
{
    switch (c.unicode()) {
    case 0x000A: case 0x000B: case 0x000C: case 0x000D:
    case 0x0085: case 0x2028: case 0x2029:
        return true;
    default:
        return false;
    }
}

bool isGroupSeparator(QChar c)
{
    switch (c.unicode()) {
    case ',': case '.': case '\'': case ' ':
    case 0x2019: case 0x00A0: case 0x202F: case 0x2009: case 0x066C:
        return true;
    default:
        return false;
    }
}

// Compiling a pattern costs more than matching a line; reports are parsed on
// several threads, so the cache is guarded.
QRegularExpression compiled(const QString &pattern)
{
    static QMutex mutex;
    static QHash<QString, QRegularExpression> cache;
    QMutexLocker lock(&mutex);
    auto it = cache.find(pattern);
    if (it == cache.end())
        it = cache.insert(pattern, QRegularExpression(pattern, QRegularExpression::UseUnicodePropertiesOption));
    return *it;
}

} // namespace

qint64 extractNumber(const QString &line, const QString &pattern)
{
    const QRegularExpression re = compiled(pattern);
    if (!re.isValid())
        return 0;
    const QRegularExpressionMatch match = re.match(line);
    if (!match.hasMatch())
        return 0;

    const QString text = match.captured(1);
    qint64 value = 0;
    bool anyDigit = false;
    for (const QChar c : text) {
        if (isGroupSeparator(c))
            continue;
        const int digit = c.digitValue();
        if (digit < 0)
            return 0;
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return 0;
        value = value * 10 + digit;
        anyDigit = true;
    }
    return anyDigit ? value : 0;
}

RunSummary parseSummary(const QString &report)
{
    static const QString filesPattern = QString::fromUtf16(SummaryPatterns::files);
    static const QString charsPattern = QString::fromUtf16(SummaryPatterns::chars);
    static const QString tokensPattern = QString::fromUtf16(SummaryPatterns::tokens);

    RunSummary summary;
    qsizetype start = 0;
    const qsizetype length = report.size();
    for (qsizetype i = 0; i <= length; ++i) {
        if (i < length && !isNewline(report.at(i)))
            continue;
        const QString line = report.mid(start, i - start);
        start = i + 1;
        if (line.contains(QLatin1String("Total Files:")))
            summary.totalFiles = extractNumber(line, filesPattern);
        else if (line.contains(QLatin1String("Total Chars:")))
            summary.totalChars = extractNumber(line, charsPattern);
        else if (line.contains(QLatin1String("Total Tokens:")))
            summary.estimatedTokens = extractNumber(line, tokensPattern);
    }
    return summary;
}

QStringList excludedAsSecrets(const QString &report)
{
    static const QRegularExpression item(QStringLiteral(R"(^\d+\.\s+(.+?)\s*$)"));
    QStringList files;
    bool inList = false;
    for (const QStringView line : QStringView(report).split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String("suspicious file(s) detected and excluded"))) {
            inList = true;
            continue;
        }
        if (!inList)
            continue;
        if (line.trimmed().isEmpty())
            break;
        if (const QRegularExpressionMatch match = item.match(line); match.hasMatch())
            files << match.captured(1);
    }
    return files;
}

QString reportForLog(const QString &report)
{
    const qsizetype summary = report.lastIndexOf(QLatin1String("Pack Summary"));
    if (summary < 0) {
        // No summary block: the last lines, which hold whatever totals there are.
        QStringList lines = report.split(QLatin1Char('\n'));
        return lines.mid(qMax<qsizetype>(0, lines.size() - 12)).join(QLatin1Char('\n')).trimmed();
    }
    const qsizetype start = report.lastIndexOf(QLatin1Char('\n'), summary) + 1;
    const qsizetype end = report.indexOf(QLatin1String("\n\n"), report.indexOf(QLatin1String("Security:"), summary));
    return report.mid(start, end < 0 ? -1 : end - start).trimmed();
}

QStringList skippedAsBinary(const QString &report)
{
    static const QRegularExpression skipped(
        QStringLiteral(R"(Skipping binary file(?: \([^)]*\))?: (.+?)\s*$)"), QRegularExpression::MultilineOption);
    QStringList files;
    for (auto it = skipped.globalMatch(report); it.hasNext();)
        files << it.next().captured(1);
    files.removeDuplicates();
    return files;
}
