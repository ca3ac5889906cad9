#pragma once

#include <QString>

// A count in the decimal style of the current locale, with its grouping
// separators ("1,234,567" in English). Falls back to the plain digits when
// the locale yields nothing.
QString formatNumber(qint64 value);

// A count with its noun: "1 file", "0 files", "1,234 files". The singular
// goes with exactly one, as in English.
QString formatCount(qint64 value, const QString &singular, const QString &plural);

// Which common context window sizes of AI assistants a bundle of `tokens`
// fits, against the context limit the user chose (`limit`, a size's name:
// "128K", "200K", "1M"): a short label ("fits 128K", "over 200K") and a
// sentence for its tool tip that says by how much it is over. Nothing for
// zero tokens.
QString contextFitLabel(qint64 tokens, const QString &limit);
QString contextFitDetail(qint64 tokens, const QString &limit);
// True when `tokens` are more than the chosen limit holds.
bool contextOverLimit(qint64 tokens, const QString &limit);
