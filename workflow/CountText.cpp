#include "CountText.h"

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
