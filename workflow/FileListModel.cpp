#include "FileListModel.h"

#include <QFileInfo>

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
        return url.fileName().isEmpty() ? QFileInfo(url.toLocalFile()).fileName() : url.fileName();
    default:
        return {};
    }
}

QHash<int, QByteArray> FileListModel::roleNames() const
{
    return {{UrlRole, "url"}, {NameRole, "name"}};
}

bool FileListModel::append(const QUrl &url)
{
    if (m_present.contains(url))
        return false;
    m_present.insert(url);
    const int row = count();
    beginInsertRows({}, row, row);
    m_urls.append(url);
    endInsertRows();
    emit countChanged();
    return true;
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
