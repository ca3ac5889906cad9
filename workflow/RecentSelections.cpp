#include "RecentSelections.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
const QString key = QStringLiteral("recentSelections");
const QString filesKey = QStringLiteral("files");

QString nameOf(const QUrl &url)
{
    const QString path = QDir::cleanPath(url.toLocalFile());
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? QDir::toNativeSeparators(path) : name;
}
} // namespace

RecentSelections::RecentSelections(QSettings *store, QObject *parent)
    : QAbstractListModel(parent)
    , m_ownStore(store ? nullptr : SettingsStore::open())
    , m_store(store ? store : m_ownStore.get())
{
    if (!m_store)
        return; // a store that cannot be read safely: the list lasts the session
    const int size = m_store->beginReadArray(key);
    for (int i = 0; i < size && m_entries.size() < limit; ++i) {
        m_store->setArrayIndex(i);
        QList<QUrl> files;
        for (const QString &text : m_store->value(filesKey).toStringList()) {
            const QUrl url(text, QUrl::StrictMode);
            if (url.isLocalFile())
                files << url;
        }
        if (!files.isEmpty())
            m_entries.append({files, 0}); // looked at when the menu shows (refresh)
    }
    m_store->endArray();
}

RecentSelections::~RecentSelections() = default;

int RecentSelections::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant RecentSelections::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Entry &entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case LabelRole: {
        const qsizetype n = entry.files.size();
        QString label = n == 1 ? nameOf(entry.files.at(0))
            : n == 2           ? tr("%1 and %2").arg(nameOf(entry.files.at(0)), nameOf(entry.files.at(1)))
                               : tr("%1, %2 and %3 more").arg(nameOf(entry.files.at(0)), nameOf(entry.files.at(1))).arg(n - 2);
        if (entry.missing == n)
            label += tr(" (not found)");
        else if (entry.missing > 0)
            label += tr(" (%1 not found)").arg(entry.missing);
        return label;
    }
    case AvailableRole:
        return entry.missing < entry.files.size();
    case PathsRole: {
        QStringList paths;
        for (const QUrl &url : entry.files)
            paths << QDir::toNativeSeparators(QDir::cleanPath(url.toLocalFile()));
        return paths.join(QLatin1Char('\n'));
    }
    default:
        return {};
    }
}

QHash<int, QByteArray> RecentSelections::roleNames() const
{
    return {{LabelRole, "label"}, {AvailableRole, "available"}, {PathsRole, "paths"}};
}

void RecentSelections::record(const QList<QUrl> &files)
{
    if (files.isEmpty())
        return;
    beginResetModel();
    m_entries.removeIf([&files](const Entry &entry) { return entry.files == files; });
    m_entries.prepend({files, 0}); // just bundled: all there
    if (m_entries.size() > limit)
        m_entries.resize(limit);
    endResetModel();
    emit countChanged();
    save();
}

QList<QUrl> RecentSelections::at(int row) const
{
    return row >= 0 && row < m_entries.size() ? m_entries.at(row).files : QList<QUrl>();
}

void RecentSelections::clear()
{
    if (m_entries.isEmpty())
        return;
    beginResetModel();
    m_entries.clear();
    endResetModel();
    emit countChanged();
    save();
}

void RecentSelections::refresh()
{
    for (int row = 0; row < m_entries.size(); ++row) {
        const int missing = missingOf(m_entries.at(row).files);
        if (std::exchange(m_entries[row].missing, missing) != missing)
            emit dataChanged(index(row), index(row), {LabelRole, AvailableRole, Qt::DisplayRole});
    }
}

void RecentSelections::save()
{
    if (!m_store)
        return;
    m_store->remove(key);
    m_store->beginWriteArray(key, static_cast<int>(m_entries.size()));
    for (int i = 0; i < m_entries.size(); ++i) {
        m_store->setArrayIndex(i);
        QStringList texts;
        for (const QUrl &url : m_entries.at(i).files)
            texts << url.toString(QUrl::FullyEncoded);
        m_store->setValue(filesKey, texts);
    }
    m_store->endArray();
    m_store->sync();
}

int RecentSelections::missingOf(const QList<QUrl> &files)
{
    return static_cast<int>(std::count_if(files.cbegin(), files.cend(),
                                          [](const QUrl &url) { return !QFileInfo::exists(url.toLocalFile()); }));
}
