#include "Format.h"
#include "Reveal.h"

#include <QDir>
#include <QLocale>

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

QString displayName(const QUrl &location)
{
    QString path = location.path();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path == QLatin1String("/"))
        return path;
    return path.section(QLatin1Char('/'), -1);
}

QString displayPath(const QUrl &location)
{
    if (!location.isLocalFile())
        return location.toDisplayString();
    QString path = location.toLocalFile();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return QDir::toNativeSeparators(path);
}

QString revealItemText(const QString &action, const QString &name)
{
    const QString prefix = QStringLiteral("Show in ");
    if (action.startsWith(prefix))
        return QStringLiteral("Show ") + name + QStringLiteral(" in ") + action.mid(prefix.size());
    return action + QStringLiteral(": ") + name;
}

QString Format::revealItem(const QString &name) const
{
    return revealItemText(revealActionText(), name);
}
