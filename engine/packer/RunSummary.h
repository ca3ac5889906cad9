#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The totals the packer prints at the end of its report; 0 where the report
// does not give one.
struct RunSummary
{
    qint64 totalFiles = 0;
    qint64 totalChars = 0;
    qint64 estimatedTokens = 0;

    bool operator==(const RunSummary &) const = default;
};

namespace SummaryPatterns {
// A count is written with the grouping of the packer's locale: "1,234",
// "1.234", "1 234" (also with no-break spaces), "1'234", or in any script's
// decimal digits.
inline constexpr char16_t files[] = uR"(Total Files:\s+(\d+(?:[,.'’\x{00A0}\x{202F}\x{2009}\x{066C} ]\d+)*)\s+files)";
inline constexpr char16_t chars[] = uR"(Total Chars:\s+(\d+(?:[,.'’\x{00A0}\x{202F}\x{2009}\x{066C} ]\d+)*)\s+chars)";
inline constexpr char16_t tokens[] = uR"(Total Tokens:\s+(\d+(?:[,.'’\x{00A0}\x{202F}\x{2009}\x{066C} ]\d+)*)\s+tokens)";
} // namespace SummaryPatterns

RunSummary parseSummary(const QString &report);

// The first capture of `pattern` in `line` as a number, its grouping
// separators dropped; 0 when the pattern is invalid, does not match, or the
// number does not fit in 64 bits.
qint64 extractNumber(const QString &line, const QString &pattern);

// The files the packer's report lists as excluded by its secret scan, as the
// packer names them (relative to the packed directory).
QStringList excludedAsSecrets(const QString &report);

// The files the packer skipped as binary, by their content or their name, as
// its verbose report names them (full paths).
QStringList skippedAsBinary(const QString &report);

// What the log keeps of a report: its closing summary (totals, output,
// security line), not the whole verbose run.
QString reportForLog(const QString &report);
