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

bool BundleOptions::readFlag(const char *key, bool fallback) const
{
    return m_store->value(QLatin1String(key), fallback).toBool();
}

void BundleOptions::writeFlag(const char *key, bool on, void (BundleOptions::*changed)())
{
    // An absent key counts as a change, whatever its default.
    const bool changedValue = readFlag(key, !on) != on;
    m_store->setValue(QLatin1String(key), on);
    if (changedValue)
        emit(this->*changed)();
}

QString BundleOptions::style() const
{
    return m_store->value(QLatin1String(kStyle), Values{}.style).toString();
}
bool BundleOptions::addSummary() const { return readFlag(kAddSummary, Values{}.addSummary); }
bool BundleOptions::addFileStructure() const { return readFlag(kAddFileStructure, Values{}.addFileStructure); }
bool BundleOptions::removeEmptyLines() const { return readFlag(kRemoveEmptyLines, Values{}.removeEmptyLines); }
bool BundleOptions::removeComments() const { return readFlag(kRemoveComments, Values{}.removeComments); }
bool BundleOptions::showLineNumbers() const { return readFlag(kShowLineNumbers, Values{}.showLineNumbers); }
bool BundleOptions::securityCheck() const { return readFlag(kSecurityCheck, Values{}.securityCheck); }

void BundleOptions::setStyle(const QString &style)
{
    const bool changed = this->style() != style;
    m_store->setValue(QLatin1String(kStyle), style);
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
