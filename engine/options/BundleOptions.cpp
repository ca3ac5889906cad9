#include "BundleOptions.h"
#include "SettingsStore.h"

#include <QDir>
#include <QSettings>

#include <algorithm>

namespace {

QString kindName(OptionSpec::Kind kind)
{
    switch (kind) {
    case OptionSpec::Kind::Switch:
        return QStringLiteral("switch");
    case OptionSpec::Kind::Choice:
        return QStringLiteral("choice");
    case OptionSpec::Kind::Text:
        return QStringLiteral("text");
    case OptionSpec::Kind::Lines:
        return QStringLiteral("lines");
    }
    return {};
}

} // namespace

BundleOptions::BundleOptions(QSettings *store, QObject *parent)
    : QAbstractListModel(parent)
    , m_store(store)
{
    if (!m_store) {
        m_ownStore = SettingsStore::open();
        m_store = m_ownStore.get();
        if (!m_store)
            m_storeProblem = tr("Your settings file \u201C%1\u201D is not a regular file, so Lumbrel does not read it. "
                                "The default settings apply, and changes last until Lumbrel quits.")
                                 .arg(QDir::toNativeSeparators(SettingsStore::unsafeFile()));
    }
    for (const OptionSpec &option : OptionTable::all())
        m_rows.push_back(&option);
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [](const OptionSpec *a, const OptionSpec *b) { return a->section < b->section; });
}

BundleOptions::~BundleOptions() = default;

// A value the application did not write (edited by hand, or by a broken
// version) reads as the default, so that no run fails for it.
QString BundleOptions::read(const OptionSpec &option) const
{
    const QString key = option.keyText();
    QVariant stored;
    if (m_store)
        stored = m_store->value(key);
    else if (const auto unstored = m_unstored.constFind(key); unstored != m_unstored.cend())
        stored = *unstored;
    if (stored.isValid()) {
        if (stored.typeId() == QMetaType::Bool && option.kind == OptionSpec::Kind::Switch)
            return stored.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        const QString text = stored.toString();
        // Switches are read in any case and spacing; every other value exactly.
        if (option.kind == OptionSpec::Kind::Switch) {
            if (const std::optional<QString> value = option.normalized(text))
                return *value;
        } else if (option.accepts(text)) {
            return text;
        }
    }
    return QString::fromUtf8(option.defaultValue);
}

QString BundleOptions::value(const QString &key) const
{
    const OptionSpec *option = OptionTable::find(key);
    return option ? read(*option) : QString();
}

OptionValues BundleOptions::values() const
{
    OptionValues values;
    for (const OptionSpec &option : OptionTable::all())
        values.set(QLatin1StringView(option.key), read(option));
    return values;
}

bool BundleOptions::setValue(const QString &key, const QString &value)
{
    const OptionSpec *option = OptionTable::find(key);
    if (!option || !option->accepts(value))
        return false;
    // An absent key counts as a change, whatever its default.
    const bool changed = (m_store ? !m_store->contains(key) : !m_unstored.contains(key)) || read(*option) != value;
    if (m_store) {
        // Switches are stored as truth values, as they always were (a plist keeps the type).
        m_store->setValue(key, option->kind == OptionSpec::Kind::Switch ? QVariant(value == QLatin1String("true"))
                                                                         : QVariant(value));
        m_store->sync();
        if (m_store->status() != QSettings::NoError)
            reportStoreProblem(tr("Your settings cannot be saved to \u201C%1\u201D. Changes apply until Lumbrel quits.")
                                   .arg(QDir::toNativeSeparators(m_store->fileName())));
    } else {
        m_unstored.insert(key, value);
    }
    if (changed) {
        const auto row = std::find(m_rows.cbegin(), m_rows.cend(), option) - m_rows.cbegin();
        emit dataChanged(index(static_cast<int>(row)), index(static_cast<int>(row)),
                         {ValueRole, ChoicesRole, ChoiceIndexRole});
        emit valueChanged(key);
    }
    return true;
}

void BundleOptions::resetToDefaults()
{
    for (const OptionSpec &option : OptionTable::all())
        setValue(option.keyText(), QString::fromUtf8(option.defaultValue));
}

void BundleOptions::reportStoreProblem(const QString &message)
{
    if (!m_storeProblem.isEmpty())
        return;
    m_storeProblem = message;
    emit storeFailed(message);
}

int BundleOptions::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant BundleOptions::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const OptionSpec &option = *m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case KeyRole:
        return option.keyText();
    case KindRole:
        return kindName(option.kind);
    case LabelRole:
    case Qt::DisplayRole:
        return tr(option.label);
    case ToolTipRole:
        return tr(option.toolTip);
    case SectionRole:
        return OptionTable::sectionTitle(option.section);
    case FirstInSectionRole:
        return index.row() == 0 || m_rows[static_cast<std::size_t>(index.row()) - 1]->section != option.section;
    case ValueRole: {
        const QString value = read(option);
        if (option.kind == OptionSpec::Kind::Switch)
            return value == QLatin1String("true");
        return value;
    }
    case ChoicesRole:
    case ChoiceIndexRole: {
        QList<OptionChoice> choices = option.choiceList();
        const QString value = read(option);
        const auto current = std::find_if(choices.cbegin(), choices.cend(),
                                          [&value](const OptionChoice &choice) { return choice.value == value; });
        qsizetype at = current - choices.cbegin();
        if (current == choices.cend() && option.kind == OptionSpec::Kind::Choice)
            choices.append({value, value}); // a valid value of the option's pattern, set elsewhere
        if (role == ChoiceIndexRole)
            return option.kind == OptionSpec::Kind::Choice ? static_cast<int>(at) : -1;
        QVariantList list;
        for (const OptionChoice &choice : std::as_const(choices))
            list.append(QVariantMap{{QStringLiteral("value"), choice.value}, {QStringLiteral("label"), choice.label}});
        return list;
    }
    default:
        return {};
    }
}

QHash<int, QByteArray> BundleOptions::roleNames() const
{
    return {{KeyRole, "key"},         {KindRole, "kind"},       {LabelRole, "label"},
            {ToolTipRole, "toolTip"}, {SectionRole, "section"}, {FirstInSectionRole, "firstInSection"},
            {ValueRole, "value"},     {ChoicesRole, "choices"}, {ChoiceIndexRole, "choiceIndex"}};
}
