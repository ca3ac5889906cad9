#include "Format.h"

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

QString displayName(const QUrl &location)
{
    QString path = location.path();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path == QLatin1String("/"))
        return path;
    return path.section(QLatin1Char('/'), -1);
}
