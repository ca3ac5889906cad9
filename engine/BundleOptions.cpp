#include "BundleOptions.h"

#include <QSettings>

namespace {
const char *const kStyle = "style";
const char *const kAddSummary = "addSummary";
const char *const kAddFileStructure = "addFileStructure";
const char *const kRemoveEmptyLines = "removeEmptyLines";
const char *const kRemoveComments = "removeComments";
const char *const kShowLineNumbers = "showLineNumbers";
const char *const kSecurityCheck = "securityCheck";
} // namespace

BundleOptions::BundleOptions(QSettings *store, QObject *parent)
    : QObject(parent)
    , m_ownStore(store ? nullptr : new QSettings())
    , m_store(store ? store : m_ownStore.get())
{
}

BundleOptions::~BundleOptions() = default;

// A value the application did not write (edited by hand, or by a broken
// version) reads as the default, so that no run fails for it.
bool BundleOptions::readFlag(const char *key, bool fallback) const
{
    const QVariant value = m_store->value(QLatin1String(key));
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return fallback;
}

void BundleOptions::writeFlag(const char *key, bool on, void (BundleOptions::*changed)())
{
    // An absent key counts as a change, whatever its default.
    const bool changedValue = readFlag(key, !on) != on;
    write(key, on);
    if (changedValue)
        emit(this->*changed)();
}

void BundleOptions::write(const char *key, const QVariant &value)
{
    m_store->setValue(QLatin1String(key), value);
    m_store->sync();
    if (m_store->status() != QSettings::NoError && !std::exchange(m_storeFailed, true)) {
        emit storeFailed(QStringLiteral("Your settings cannot be saved to \u201C%1\u201D. "
                                        "Changes apply until Lumbrel quits.")
                             .arg(m_store->fileName()));
    }
}

QString BundleOptions::style() const
{
    const QString style = m_store->value(QLatin1String(kStyle)).toString();
    for (const char *known : {"plain", "xml", "markdown"}) {
        if (style == QLatin1String(known))
            return style;
    }
    return Values{}.style;
}
bool BundleOptions::addSummary() const { return readFlag(kAddSummary, Values{}.addSummary); }
bool BundleOptions::addFileStructure() const { return readFlag(kAddFileStructure, Values{}.addFileStructure); }
bool BundleOptions::removeEmptyLines() const { return readFlag(kRemoveEmptyLines, Values{}.removeEmptyLines); }
bool BundleOptions::removeComments() const { return readFlag(kRemoveComments, Values{}.removeComments); }
bool BundleOptions::showLineNumbers() const { return readFlag(kShowLineNumbers, Values{}.showLineNumbers); }
bool BundleOptions::securityCheck() const { return readFlag(kSecurityCheck, Values{}.securityCheck); }

void BundleOptions::setStyle(const QString &style)
{
    const bool changed = m_store->value(QLatin1String(kStyle)).toString() != style;
    write(kStyle, style);
    if (changed)
        emit styleChanged();
}
void BundleOptions::setAddSummary(bool on) { writeFlag(kAddSummary, on, &BundleOptions::addSummaryChanged); }
void BundleOptions::setAddFileStructure(bool on) { writeFlag(kAddFileStructure, on, &BundleOptions::addFileStructureChanged); }
void BundleOptions::setRemoveEmptyLines(bool on) { writeFlag(kRemoveEmptyLines, on, &BundleOptions::removeEmptyLinesChanged); }
void BundleOptions::setRemoveComments(bool on) { writeFlag(kRemoveComments, on, &BundleOptions::removeCommentsChanged); }
void BundleOptions::setShowLineNumbers(bool on) { writeFlag(kShowLineNumbers, on, &BundleOptions::showLineNumbersChanged); }
void BundleOptions::setSecurityCheck(bool on) { writeFlag(kSecurityCheck, on, &BundleOptions::securityCheckChanged); }

BundleOptions::Values BundleOptions::values() const
{
    return {style(), addSummary(), addFileStructure(), removeEmptyLines(),
            removeComments(), showLineNumbers(), securityCheck()};
}

void BundleOptions::resetToDefaults()
{
    const Values defaults;
    setStyle(defaults.style);
    setAddSummary(defaults.addSummary);
    setAddFileStructure(defaults.addFileStructure);
    setRemoveEmptyLines(defaults.removeEmptyLines);
    setRemoveComments(defaults.removeComments);
    setShowLineNumbers(defaults.showLineNumbers);
    setSecurityCheck(defaults.securityCheck);
}

QString BundleOptions::outputExtension(const QString &style)
{
    if (style == QLatin1String("xml"))
        return QStringLiteral("xml");
    if (style == QLatin1String("markdown"))
        return QStringLiteral("md");
    return QStringLiteral("txt");
}
