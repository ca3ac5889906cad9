#pragma once

#include "OptionTable.h"
#include "OutputStyle.h"

#include <QString>
#include <QStringList>

// The values of every option of the table, as one snapshot: what a run is
// packed with. A new snapshot holds the defaults; values are set and read by
// the option's key.
class OptionValues
{
public:
    OptionValues();

    // The value of the option stored under `key`, as text ("true" for a
    // switch that is on); empty for an unknown key.
    QString text(QAnyStringView key) const;
    bool isOn(QAnyStringView key) const { return text(key) == QLatin1String("true"); }
    OutputStyle style() const;

    // Sets a valid value (OptionSpec::accepts); false, and nothing changes,
    // for an unknown key or a value the option cannot take.
    bool set(QAnyStringView key, const QString &value);
    bool setOn(QAnyStringView key, bool on) { return set(key, on ? QStringLiteral("true") : QStringLiteral("false")); }

    bool operator==(const OptionValues &) const = default;

private:
    QStringList m_values; // by the table's rows
};
