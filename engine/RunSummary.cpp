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
