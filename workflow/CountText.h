#pragma once

#include <QString>

// A count in the decimal style of the current locale, with its grouping
// separators ("1,234,567" in English). Falls back to the plain digits when
// the locale yields nothing.
QString formatNumber(qint64 value);

// A count with its noun: "1 file", "0 files", "1,234 files". The singular
// goes with exactly one, as in English.
QString formatCount(qint64 value, const QString &singular, const QString &plural);
