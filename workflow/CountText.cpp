#include "CountText.h"

#include "OptionTable.h"

#include <QLocale>
#include <QStringList>

QString formatNumber(qint64 value)
{
    // A fresh locale each time, so a change of the default shows at once. The C
    // locale omits grouping by default; we always want it.
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    QString text = locale.toString(value);
    if (text.isEmpty())
        text = QString::number(value);
    return text;
}

QString formatCount(qint64 value, const QString &singular, const QString &plural)
{
    return formatNumber(value) + QLatin1Char(' ') + (value == 1 ? singular : plural);
}

QString contextFitLabel(qint64 tokens, const QString &limit)
{
    if (tokens <= 0)
        return {};
    if (contextOverLimit(tokens, limit))
        return QStringLiteral("over %1").arg(limit.toUpper());
    for (const ContextSize &size : OptionTable::contextSizes()) {
        if (tokens <= size.tokens)
            return QStringLiteral("fits %1").arg(QLatin1String(size.name));
    }
    return {};
}

QString contextFitDetail(qint64 tokens, const QString &limit)
{
    if (tokens <= 0)
        return {};
    if (contextOverLimit(tokens, limit))
        return QStringLiteral("%1 tokens are %2 more than your context limit of %3 tokens holds; "
                              "leave out files or add ignore patterns.")
            .arg(formatNumber(tokens), formatNumber(tokens - OptionTable::contextSizeTokens(limit)), limit.toUpper());
    QStringList fits;
    for (const ContextSize &size : OptionTable::contextSizes()) {
        if (tokens <= size.tokens)
            fits << QLatin1String(size.name);
    }
    const QString sizes = fits.size() == 1 ? fits.first()
                                           : fits.mid(0, fits.size() - 1).join(QStringLiteral(", "))
            + QStringLiteral(" and ") + fits.last();
    return QStringLiteral("%1 tokens fit in a context window of %2 tokens.").arg(formatNumber(tokens), sizes);
}

bool contextOverLimit(qint64 tokens, const QString &limit)
{
    return tokens > OptionTable::contextSizeTokens(limit);
}
