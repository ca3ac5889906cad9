#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QSet>
#include <QUrl>

// The ordered selection of dropped files and folders, without duplicates
// (URL equality). A list model so that the view keeps its rows, and its
// scroll position, while entries come and go.
class FileListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { UrlRole = Qt::UserRole + 1, NameRole };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return static_cast<int>(m_urls.size()); }
    bool isEmpty() const { return m_urls.isEmpty(); }
    const QList<QUrl> &urls() const { return m_urls; }
    Q_INVOKABLE int indexOf(const QUrl &url) const { return static_cast<int>(m_urls.indexOf(url)); }
    Q_INVOKABLE QUrl at(int row) const { return m_urls.value(row); }

    // Appends unless an equal URL is present; true when appended.
    bool append(const QUrl &url);
    // Removes the entry equal to `url`; true when there was one.
    bool remove(const QUrl &url);
    void clear();

signals:
    void countChanged();

private:
    QList<QUrl> m_urls;
    QSet<QUrl> m_present; // keeps the duplicate check cheap for large drops
};
