#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QUrl>

// The ordered selection of dropped files and folders. No entry is listed
// twice (URL equality) and none lies inside a listed folder, so every file is
// packed once. A list model so that the view keeps its rows, and its scroll
// position, while entries come and go.
class FileListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // The row of the highlighted entry; -1 when none is highlighted.
    Q_PROPERTY(int highlightedRow READ highlightedRow NOTIFY highlightedRowChanged)

public:
    enum Role {
        UrlRole = Qt::UserRole + 1,
        NameRole,
        PathRole,
        ShareRole,         // "9 files, 3,456 tokens": the entry's part of the latest estimate; empty when unknown
        PackedNothingRole, // the latest estimate packed nothing of this entry
        HighlightedRole,   // the entry is the highlighted one
        PackedFilesRole,   // files of this entry in the latest estimate; -1 when unknown
        PackedTokensRole,  // their tokens; -1 when unknown
    };

    // One entry's part of an estimate.
    struct Share
    {
        qint64 files = 0;
        qint64 tokens = 0;
    };

    // What adding one location did.
    enum class Added {
        Appended,  // a new last entry
        Present,   // equal to an entry, or inside a listed folder: nothing changed
        Replaced,  // a folder that took the place of the entries inside it
    };

    explicit FileListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return static_cast<int>(m_urls.size()); }
    bool isEmpty() const { return m_urls.isEmpty(); }
    const QList<QUrl> &urls() const { return m_urls; }
    Q_INVOKABLE int indexOf(const QUrl &url) const { return static_cast<int>(m_urls.indexOf(url)); }
    Q_INVOKABLE QUrl at(int row) const { return m_urls.value(row); }

    // Appends a local file or folder, unless it is listed or inside a listed
    // folder; a folder takes the place of the listed entries inside it (at the
    // first one's row).
    Added add(const QUrl &url);
    // Adds each of `urls` in turn as add() does, in O(k log n) for k new
    // entries on a list of n, with one notification of the view for the
    // appended rows. True when the list changed.
    bool add(const QList<QUrl> &urls);

    // Adding many entries off the model's thread: start() takes a snapshot
    // of the list (cheap: the containers are shared until they change),
    // run() does the work on any thread, and finish() puts the result in
    // place on the model's thread, unless the list changed in between.
    class Adding
    {
    public:
        void run();
        bool changed() const { return m_changed; }

    private:
        friend class FileListModel;
        QList<QUrl> m_urls;   // to add
        quint64 m_generation = 0;
        QList<QUrl> m_base;   // the list as it was
        QSet<QUrl> m_present;
        QMap<QString, QUrl> m_index;
        // The result: entries appended, and rows of the base list that were
        // replaced or removed (by a folder that holds them).
        QList<QUrl> m_appended;
        QHash<int, QUrl> m_replacedRows;
        QList<int> m_removedRows;
        Added m_last = Added::Present;
        bool m_changed = false;
    };
    Adding startAdding(const QList<QUrl> &urls) const;
    // False (and nothing changed) when the list changed since start(): start again.
    bool finishAdding(Adding &&adding);
    // Removes the entry equal to `url`; true when there was one.
    bool remove(const QUrl &url);
    void clear();
    // Makes the list `urls`, which keeps the rules above (an earlier state
    // of this list). Entries that come back between the listed ones are
    // inserted where they stood, so that the view keeps its place.
    void restore(const QList<QUrl> &urls);

    // The entry shown as highlighted (none: an empty URL).
    void setHighlighted(const QUrl &url);
    int highlightedRow() const { return m_highlighted.isEmpty() ? -1 : indexOf(m_highlighted); }

    // Each entry's part of the latest estimate; entries missing from `shares`
    // show none.
    void setShares(const QHash<QUrl, Share> &shares);

    // True when `inner` is `outer` or lies inside it, by their cleaned local paths.
    static bool contains(const QUrl &outer, const QUrl &inner);

signals:
    void countChanged();
    void highlightedRowChanged();

private:
    QList<QUrl> m_urls;
    QSet<QUrl> m_present; // keeps the duplicate check cheap for large drops
    // Every entry by its cleaned local path, in order, so that the entries
    // inside a folder are one range and a path's listed folders are found
    // by lookups. Changed together with m_urls.
    QMap<QString, QUrl> m_index;
    quint64 m_generation = 0; // counts the changes of the list
    QHash<QUrl, Share> m_shares;
    QUrl m_highlighted;
};
