#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QUrl>

#include <memory>

class QSettings;

// The last selections that were bundled, newest first, kept in the
// preference store for File › Open Recent. A selection whose items are all
// gone stays listed but cannot be opened.
class RecentSelections : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        LabelRole = Qt::UserRole + 1, // "src, notes.md and 3 more", with what is missing
        AvailableRole,                // at least one of its items is still there
        PathsRole,                    // every item's path, a line each
    };

    static constexpr int limit = 10;

    // Uses the per-user store of the application unless a store is given; a
    // given store stays owned by the caller. Where the application's store
    // cannot be read safely, the list lasts the session.
    explicit RecentSelections(QSettings *store = nullptr, QObject *parent = nullptr);
    ~RecentSelections() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return static_cast<int>(m_entries.size()); }

    // Puts `files` first; an equal selection listed before moves up.
    void record(const QList<QUrl> &files);
    QList<QUrl> at(int row) const;
    Q_INVOKABLE void clear();
    // Looks again at which items are there (the menu is about to show).
    Q_INVOKABLE void refresh();

signals:
    void countChanged();

private:
    struct Entry
    {
        QList<QUrl> files;
        int missing = 0;
    };
    void save();
    static int missingOf(const QList<QUrl> &files);

    std::unique_ptr<QSettings> m_ownStore;
    QSettings *m_store;
    QList<Entry> m_entries;
};
