#pragma once

#include "ItemTicks.h"

#include <QAbstractListModel>
#include <QHash>
#include <QString>

#include <vector>

// The files and folders of one chosen folder as a tree the user can open,
// sort, filter and tick, shown as a list of its visible rows (a folder's
// rows follow it while it is open). Each file carries its counts from the
// latest estimate that packed it; a folder shows the sum of what is ticked
// inside it and whether all, some or none of it is ticked.
class FileTreeModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(QString rootName READ rootName NOTIFY rootChanged)
    // Heaviest first (by the ticked tokens) instead of by name.
    Q_PROPERTY(bool byTokens READ byTokens WRITE setByTokens NOTIFY byTokensChanged)
    // Only names that contain this text (any case), with the folders that hold them.
    Q_PROPERTY(QString filter READ filter WRITE setFilter NOTIFY filterChanged)
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    enum Role {
        NameRole = Qt::UserRole + 1,
        PathRole,       // relative to the chosen folder
        DepthRole,      // 0 for what the chosen folder holds directly
        FolderRole,
        ExpandedRole,
        CheckStateRole, // Qt::Checked, Qt::PartiallyChecked or Qt::Unchecked
        TokensRole,     // a file's tokens, a folder's ticked tokens; -1 unknown
        CharactersRole,
        ShareRole,      // "1,234 tokens", or empty when unknown
    };

    // What the latest estimates counted of one file.
    struct Counts
    {
        qint64 characters = -1;
        qint64 tokens = -1;
        bool folder = false; // an unticked folder whose files were never counted
    };

    explicit FileTreeModel(QObject *parent = nullptr);

    // The tree of the chosen folder `rootName`: its files by relative path,
    // and what is ticked. Keeps the open folders that are still there.
    void reset(const QString &rootName, const QHash<QString, Counts> &files, const ItemTicks &ticks);
    // New counts or ticks for the same tree (an estimate confirmed them).
    void update(const QHash<QString, Counts> &files, const ItemTicks &ticks);

    QString rootName() const { return m_rootName; }
    const ItemTicks &ticks() const { return m_ticks; }
    bool byTokens() const { return m_byTokens; }
    void setByTokens(bool on);
    QString filter() const { return m_filter; }
    void setFilter(const QString &text);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Ticks an unticked or partly ticked row with all it holds, or unticks a ticked one.
    Q_INVOKABLE void toggle(int row);
    Q_INVOKABLE void setExpanded(int row, bool expanded);
    // The row of `path`, opening the folders above it; -1 when it is not in the tree.
    Q_INVOKABLE int reveal(const QString &path);
    // The row that shows `path`, or else the closest folder above it that is
    // shown (its folder was closed); -1 when neither is. Opens nothing.
    Q_INVOKABLE int shownRow(const QString &path) const;
    // The row of the folder that holds `row`'s file or folder; -1 at the top.
    Q_INVOKABLE int parentRow(int row) const;

signals:
    // The user ticked or unticked something: the chosen folder's new ticks.
    void ticksChanged(const ItemTicks &ticks);
    void rootChanged();
    void byTokensChanged();
    void filterChanged();
    void countChanged();

private:
    struct Node
    {
        QString name;
        QString path;
        int parent = -1;
        int depth = 0;
        bool folder = false;
        bool expanded = false;
        Counts counts;               // a file's own
        std::vector<int> children;
        // Derived: ticked files below (or itself), all files below, ticked tokens and characters.
        int ticked = 0;
        int files = 0;
        qint64 tickedTokens = 0;
        qint64 tickedCharacters = 0;
        bool known = true;           // every ticked file below has counts
    };

    void build(const QHash<QString, Counts> &files, const QSet<QString> &expanded);
    void summarize(int node);
    void layout();
    void appendVisible(int node, bool filtering);
    bool matchesFilter(int node) const;
    void sortChildren(int node);
    void tick(int node, bool on);
    QSet<QString> expandedPaths() const;
    Qt::CheckState checkState(const Node &node) const;

    QString m_rootName;
    ItemTicks m_ticks;
    std::vector<Node> m_nodes; // 0 is the root
    std::vector<int> m_rows;   // the visible nodes
    bool m_byTokens = false;
    QString m_filter;
};
