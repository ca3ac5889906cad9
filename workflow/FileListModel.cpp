#include "FileListModel.h"

#include "CountText.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <functional>

namespace {
QString cleanPath(const QUrl &url)
{
    return QDir::cleanPath(url.toLocalFile());
}
} // namespace

FileListModel::FileListModel(QObject *parent)
    : QAbstractListModel(parent)
{
    // Rows that come or go before the highlighted one move it.
    for (const auto changed : {&FileListModel::rowsInserted, &FileListModel::rowsRemoved})
        connect(this, changed, this, [this] {
            if (!m_highlighted.isEmpty())
                emit highlightedRowChanged();
        });
    connect(this, &FileListModel::modelReset, this, &FileListModel::highlightedRowChanged);
    connect(this, &FileListModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to, const QList<int> &roles) {
                const int row = highlightedRow();
                if (roles.isEmpty() && row >= from.row() && row <= to.row())
                    emit highlightedRowChanged(); // a folder took a listed entry's place
            });
}

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QUrl &url = m_urls.at(index.row());
    switch (role) {
    case UrlRole:
        return url;
    case NameRole:
    case Qt::DisplayRole:
        return QFileInfo(cleanPath(url)).fileName();
    case PathRole:
        return QDir::toNativeSeparators(cleanPath(url));
    case ShareRole: {
        const auto share = m_shares.constFind(url);
        if (share == m_shares.cend())
            return QString();
        if (share->files == 0)
            return tr("nothing packed");
        return formatCount(share->files, tr("file"), tr("files")) + QStringLiteral(", ")
            + formatCount(share->tokens, tr("token"), tr("tokens"));
    }
    case PackedNothingRole: {
        const auto share = m_shares.constFind(url);
        return share != m_shares.cend() && share->files == 0;
    }
    case HighlightedRole:
        return !m_highlighted.isEmpty() && url == m_highlighted;
    case PackedFilesRole:
    case PackedTokensRole: {
        const auto share = m_shares.constFind(url);
        if (share == m_shares.cend())
            return qint64(-1);
        return role == PackedFilesRole ? share->files : share->tokens;
    }
    default:
        return {};
    }
}

QHash<int, QByteArray> FileListModel::roleNames() const
{
    return {{UrlRole, "url"}, {NameRole, "name"}, {PathRole, "path"}, {ShareRole, "share"},
            {PackedNothingRole, "packedNothing"}, {HighlightedRole, "highlighted"},
            {PackedFilesRole, "packedFiles"}, {PackedTokensRole, "packedTokens"}};
}

bool FileListModel::contains(const QUrl &outer, const QUrl &inner)
{
    const QString folder = cleanPath(outer);
    const QString path = cleanPath(inner);
    if (folder.isEmpty() || path.isEmpty())
        return false;
    if (path == folder)
        return true;
    return path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

namespace {

// The paths of the folders that hold `path`, nearest first ("/a/b/c" gives
// "/a/b", "/a" and "/").
QStringList parentsOf(const QString &path)
{
    QStringList parents;
    for (qsizetype slash = path.lastIndexOf(u'/'); slash >= 0; slash = slash > 0 ? path.lastIndexOf(u'/', slash - 1) : -1) {
        QString parent = path.left(slash);
        if (parent.isEmpty() || (parent.size() == 2 && parent.at(1) == u':'))
            parent += u'/'; // a root: "/" or a drive's "C:/"
        if (parent != path)
            parents << parent;
    }
    return parents;
}

} // namespace

void FileListModel::Adding::run()
{
    const int baseCount = static_cast<int>(m_base.size());
    // Rows beyond the base list are appended entries: baseCount + i.
    QHash<QUrl, int> rowOf; // built when a folder first replaces entries
    const auto rowOfEntry = [&](const QUrl &entry) {
        if (rowOf.isEmpty()) {
            rowOf.reserve(m_base.size() + m_appended.size());
            for (int row = 0; row < baseCount; ++row)
                rowOf.insert(m_base.at(row), row);
            for (int i = 0; i < m_appended.size(); ++i)
                rowOf.insert(m_appended.at(i), baseCount + i);
        }
        return rowOf.value(entry, -1);
    };
    QList<bool> appendedGone; // appended entries that a later folder took in

    for (const QUrl &url : std::as_const(m_urls)) {
        if (m_present.contains(url)) {
            m_last = Added::Present;
            continue;
        }
        const QString path = cleanPath(url);
        bool held = !path.isEmpty() && m_index.contains(path);
        const QStringList parents = parentsOf(path);
        for (qsizetype i = 0; !held && i < parents.size(); ++i)
            held = m_index.contains(parents.at(i));
        if (held) {
            m_last = Added::Present;
            continue;
        }

        // The entries inside the new one: the range of paths below it.
        QList<QUrl> inside;
        if (!path.isEmpty()) {
            const QString prefix = path.endsWith(u'/') ? path : path + u'/';
            for (auto it = m_index.lowerBound(prefix); it != m_index.end() && it.key().startsWith(prefix); ++it)
                inside << it.value();
        }
        m_present.insert(url);
        if (!path.isEmpty())
            m_index.insert(path, url);
        m_changed = true;
        if (inside.isEmpty()) {
            if (!rowOf.isEmpty())
                rowOf.insert(url, baseCount + static_cast<int>(m_appended.size()));
            m_appended << url;
            appendedGone << false;
            m_last = Added::Appended;
            continue;
        }

        // The folder takes the first contained entry's row; the others go.
        QList<int> rows;
        for (const QUrl &entry : std::as_const(inside)) {
            rows << rowOfEntry(entry);
            m_present.remove(entry);
            m_index.remove(cleanPath(entry));
            rowOf.remove(entry);
        }
        std::sort(rows.begin(), rows.end());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const int row = rows.at(i);
            if (row < baseCount) {
                if (i == 0) {
                    m_replacedRows.insert(row, url);
                } else {
                    m_replacedRows.remove(row);
                    m_removedRows << row;
                }
            } else if (i == 0) {
                m_appended[row - baseCount] = url;
            } else {
                appendedGone[row - baseCount] = true;
            }
        }
        rowOf.insert(url, rows.first());
        m_last = Added::Replaced;
    }

    // Appended entries taken in by a later folder leave no row.
    QList<QUrl> appended;
    appended.reserve(m_appended.size());
    for (qsizetype i = 0; i < m_appended.size(); ++i) {
        if (!appendedGone.at(i))
            appended << m_appended.at(i);
    }
    m_appended = std::move(appended);
}

FileListModel::Adding FileListModel::startAdding(const QList<QUrl> &urls) const
{
    Adding adding;
    adding.m_urls = urls;
    adding.m_generation = m_generation;
    adding.m_base = m_urls;
    adding.m_present = m_present;
    adding.m_index = m_index;
    return adding;
}

bool FileListModel::finishAdding(Adding &&adding)
{
    if (adding.m_generation != m_generation)
        return false;
    adding.m_base = QList<QUrl>(); // shares m_urls: let go of it before m_urls changes
    m_present = std::move(adding.m_present);
    m_index = std::move(adding.m_index);
    if (!adding.m_changed)
        return true;
    ++m_generation;
    const int before = count();

    // Rows that were listed: replaced in place, then removed from the last up.
    for (auto it = adding.m_replacedRows.cbegin(); it != adding.m_replacedRows.cend(); ++it) {
        m_urls[it.key()] = it.value();
        emit dataChanged(index(it.key()), index(it.key()));
    }
    QList<int> removed = adding.m_removedRows;
    std::sort(removed.begin(), removed.end(), std::greater<>());
    if (removed.size() > 64) {
        // A folder over many listed entries: one reset costs less than many removals.
        beginResetModel();
        QList<QUrl> kept;
        kept.reserve(m_urls.size() - removed.size() + adding.m_appended.size());
        const QSet<int> gone(removed.begin(), removed.end());
        for (int row = 0; row < m_urls.size(); ++row) {
            if (!gone.contains(row))
                kept << m_urls.at(row);
        }
        m_urls = std::move(kept) + adding.m_appended;
        endResetModel();
    } else {
        for (const int row : std::as_const(removed)) {
            beginRemoveRows({}, row, row);
            m_urls.removeAt(row);
            endRemoveRows();
        }
        if (!adding.m_appended.isEmpty()) {
            beginInsertRows({}, count(), count() + static_cast<int>(adding.m_appended.size()) - 1);
            m_urls += adding.m_appended;
            endInsertRows();
        }
    }
    if (count() != before)
        emit countChanged();
    return true;
}

bool FileListModel::add(const QList<QUrl> &urls)
{
    // On this thread the model's own containers are worked on in place.
    Adding adding;
    adding.m_urls = urls;
    adding.m_generation = m_generation;
    adding.m_base = m_urls;
    adding.m_present = std::move(m_present);
    adding.m_index = std::move(m_index);
    adding.run();
    const bool changed = adding.changed();
    finishAdding(std::move(adding));
    return changed;
}

FileListModel::Added FileListModel::add(const QUrl &url)
{
    Adding adding;
    adding.m_urls = {url};
    adding.m_generation = m_generation;
    adding.m_base = m_urls;
    adding.m_present = std::move(m_present);
    adding.m_index = std::move(m_index);
    adding.run();
    const Added added = adding.m_last;
    finishAdding(std::move(adding));
    return added;
}

void FileListModel::setShares(const QHash<QUrl, Share> &shares)
{
    m_shares = shares;
    if (!m_urls.isEmpty())
        emit dataChanged(index(0), index(count() - 1), {ShareRole, PackedNothingRole, PackedFilesRole, PackedTokensRole});
}

bool FileListModel::remove(const QUrl &url)
{
    const int row = indexOf(url);
    if (row < 0)
        return false;
    beginRemoveRows({}, row, row);
    m_urls.removeAt(row);
    m_present.remove(url);
    m_index.remove(cleanPath(url));
    ++m_generation;
    endRemoveRows();
    emit countChanged();
    return true;
}

void FileListModel::clear()
{
    if (m_urls.isEmpty())
        return;
    beginResetModel();
    m_urls.clear();
    m_present.clear();
    m_index.clear();
    ++m_generation;
    endResetModel();
    emit countChanged();
}

void FileListModel::restore(const QList<QUrl> &urls)
{
    // When every present entry is in `urls`, in the same order, the missing
    // ones are inserted one by one; anything else starts the model afresh.
    qsizetype matched = 0;
    for (const QUrl &url : urls) {
        if (matched < m_urls.size() && m_urls.at(matched) == url)
            ++matched;
    }
    if (matched == m_urls.size()) {
        for (int row = 0; row < urls.size(); ++row) {
            if (row < m_urls.size() && m_urls.at(row) == urls.at(row))
                continue;
            beginInsertRows({}, row, row);
            m_urls.insert(row, urls.at(row));
            m_present.insert(urls.at(row));
            m_index.insert(cleanPath(urls.at(row)), urls.at(row));
            endInsertRows();
        }
    } else {
        beginResetModel();
        m_urls = urls;
        m_present = QSet<QUrl>(urls.cbegin(), urls.cend());
        m_index.clear();
        for (const QUrl &url : urls)
            m_index.insert(cleanPath(url), url);
        endResetModel();
    }
    ++m_generation; // a merge begun on the list before is done again
    emit countChanged();
}

void FileListModel::setHighlighted(const QUrl &url)
{
    if (m_highlighted == url)
        return;
    const int before = highlightedRow();
    m_highlighted = url;
    const int after = highlightedRow();
    for (const int row : {before, after}) {
        if (row >= 0)
            emit dataChanged(index(row), index(row), {HighlightedRole});
    }
    if (before != after)
        emit highlightedRowChanged();
}
