#pragma once

#include "FileTreeModel.h"
#include "ItemTicks.h"
#include "PackerJobs.h"

#include <QHash>
#include <QObject>
#include <QUrl>

// What the user chose inside the listed folders (their ticks), and what the
// estimates counted of each file: the ticks belong to a listed item for as
// long as it is listed; each file keeps its latest counts, also while it is
// unticked (and so not counted again).
class SelectionDetails : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The ticks of the items that do not take all they hold.
    QHash<QUrl, ItemTicks> ticks() const;
    ItemTicks ticksOf(const QUrl &item) const { return m_ticks.value(item); }
    void setTicks(const QUrl &item, const ItemTicks &ticks);
    // Forgets what is known of the items not in `listed`.
    void keepOnly(const QList<QUrl> &listed);

    // Takes the counts of an estimate; the totals it gives are the ones the
    // provisional totals start from.
    void absorb(const JobResult &result);
    // Each file of `item` with its latest counts, by path relative to the item.
    QHash<QString, FileTreeModel::Counts> filesOf(const QUrl &item) const { return m_counts.value(item); }

    // The totals the ticks give now, from the latest estimate's and the
    // files' own counts: only an approximation of what the packer will count
    // (a file's header is not counted with it).
    RunSummary provisionalTotals() const;

    // The heaviest files of the selection as the ticks leave it, heaviest first.
    struct Heavy
    {
        QUrl item;
        QString path; // relative to the item; empty for a chosen file
        qint64 tokens = 0;
    };
    QList<Heavy> heaviest(int count) const;

signals:
    void ticksChanged();

private:
    QHash<QUrl, ItemTicks> m_ticks;
    QHash<QUrl, QHash<QString, FileTreeModel::Counts>> m_counts;
    RunSummary m_confirmed;            // the latest estimate's totals
    QHash<QUrl, ItemTicks> m_counted;  // the ticks that estimate packed with
    QHash<QUrl, bool> m_isFolder;      // items by kind, as the latest estimate staged them
};
