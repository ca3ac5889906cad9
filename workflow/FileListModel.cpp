#include "FileListModel.h"

#include "CountText.h"

#include <QDir>
#include <QFileInfo>

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

FileListModel::Added FileListModel::add(const QUrl &url)
{
    if (m_present.contains(url))
        return Added::Present;
    for (const QUrl &listed : std::as_const(m_urls)) {
        if (contains(listed, url))
            return Added::Present;
    }

    QList<int> inside;
    for (int row = 0; row < count(); ++row) {
        if (contains(url, m_urls.at(row)))
            inside << row;
    }
    if (inside.isEmpty()) {
        const int row = count();
        beginInsertRows({}, row, row);
        m_urls.append(url);
        m_present.insert(url);
        endInsertRows();
        emit countChanged();
        return Added::Appended;
    }

    // The folder takes the first contained entry's row; the others go.
    for (qsizetype i = inside.size() - 1; i >= 1; --i) {
        const int row = inside.at(i);
        beginRemoveRows({}, row, row);
        m_present.remove(m_urls.takeAt(row));
        endRemoveRows();
    }
    const int row = inside.first();
    m_present.remove(m_urls.at(row));
    m_urls[row] = url;
    m_present.insert(url);
    emit dataChanged(index(row), index(row));
    if (inside.size() > 1)
        emit countChanged();
    return Added::Replaced;
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
            endInsertRows();
        }
    } else {
        beginResetModel();
        m_urls = urls;
        m_present = QSet<QUrl>(urls.cbegin(), urls.cend());
        endResetModel();
    }
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
