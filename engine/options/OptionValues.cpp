#include "OptionValues.h"

namespace {
qsizetype rowOf(QAnyStringView key)
{
    const std::span<const OptionSpec> options = OptionTable::all();
    for (std::size_t row = 0; row < options.size(); ++row) {
        if (QAnyStringView::compare(key, QLatin1StringView(options[row].key)) == 0)
            return static_cast<qsizetype>(row);
    }
    return -1;
}
} // namespace

OptionValues::OptionValues()
{
    for (const OptionSpec &option : OptionTable::all())
        m_values << QString::fromUtf8(option.defaultValue);
}

QString OptionValues::text(QAnyStringView key) const
{
    const qsizetype row = rowOf(key);
    return row < 0 ? QString() : m_values.at(row);
}

OutputStyle OptionValues::style() const
{
    return OutputStyles::fromName(text(QLatin1StringView(OptionKey::style))).value_or(OutputStyle::Plain);
}

bool OptionValues::set(QAnyStringView key, const QString &value)
{
    const qsizetype row = rowOf(key);
    if (row < 0 || !OptionTable::all()[static_cast<std::size_t>(row)].accepts(value))
        return false;
    m_values[row] = value;
    return true;
}
