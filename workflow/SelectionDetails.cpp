#include "SelectionDetails.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

QHash<QUrl, ItemTicks> SelectionDetails::ticks() const
{
    return m_ticks;
}

void SelectionDetails::setTicks(const QUrl &item, const ItemTicks &ticks)
{
    if (m_ticks.value(item) == ticks)
        return;
    if (ticks.takesAll())
        m_ticks.remove(item);
    else
        m_ticks.insert(item, ticks);
    emit ticksChanged();
}

void SelectionDetails::keepOnly(const QList<QUrl> &listed)
{
    const QSet<QUrl> keep(listed.cbegin(), listed.cend());
    const auto gone = [&keep](const QUrl &item) { return !keep.contains(item); };
    bool changed = false;
    for (const QUrl &item : m_ticks.keys()) {
        if (gone(item))
            changed = m_ticks.remove(item) || changed;
    }
    for (const QUrl &item : m_counts.keys()) {
        if (gone(item))
            m_counts.remove(item);
    }
    if (changed)
        emit ticksChanged();
}

void SelectionDetails::absorb(const JobResult &result)
{
    m_confirmed = result.summary;
    m_counted = result.ticks;
    QHash<QString, QUrl> byName;
    for (const StagedItem &item : result.items)
        byName.insert(item.stagedName, item.source);
    QHash<QUrl, QHash<QString, FileTreeModel::Counts>> fresh;
    for (const PackedFile &file : result.files) {
        const qsizetype slash = file.path.indexOf(u'/');
        const QUrl item = byName.value(slash < 0 ? file.path : file.path.left(slash));
        if (!item.isEmpty())
            fresh[item].insert(slash < 0 ? QString() : file.path.mid(slash + 1), {file.characters, file.tokens});
    }
    if (result.files.isEmpty() && result.summary.totalFiles > 0)
        return; // no per-file counts from this run: what is known stays
    // What the ticks left out is in the tree too, with what an earlier estimate counted of it.
    for (const LeftOut &left : result.leftOut) {
        if (left.reason != LeftOutReason::Unticked)
            continue;
        for (const StagedItem &item : result.items) {
            const QString root = item.source.toLocalFile() + u'/';
            if (!left.path.startsWith(root))
                continue;
            const QString relative = QDir::fromNativeSeparators(left.path.mid(root.size()));
            FileTreeModel::Counts unknown;
            unknown.folder = QFileInfo(left.path).isDir();
            fresh[item.source].insert(relative, m_counts.value(item.source).value(relative, unknown));
        }
    }
    for (const StagedItem &item : result.items) {
        // Files the ticks left out keep what an earlier estimate counted.
        QHash<QString, FileTreeModel::Counts> &counts = fresh[item.source];
        const ItemTicks ticks = result.ticks.value(item.source);
        const QHash<QString, FileTreeModel::Counts> earlier = m_counts.value(item.source);
        for (auto it = earlier.cbegin(); it != earlier.cend(); ++it) {
            if (!ticks.takes(it.key(), false) && !counts.contains(it.key()))
                counts.insert(it.key(), it.value());
        }
    }
    m_counts = std::move(fresh);
}

RunSummary SelectionDetails::provisionalTotals() const
{
    RunSummary totals = m_confirmed;
    for (auto item = m_counts.cbegin(); item != m_counts.cend(); ++item) {
        const ItemTicks counted = m_counted.value(item.key());
        const ItemTicks now = m_ticks.value(item.key());
        if (counted == now)
            continue;
        for (auto file = item.value().cbegin(); file != item.value().cend(); ++file) {
            const bool was = counted.takes(file.key(), false);
            const bool is = now.takes(file.key(), false);
            if (was == is || file.value().tokens < 0)
                continue;
            const int sign = is ? 1 : -1;
            totals.totalFiles += sign;
            totals.totalChars += sign * file.value().characters;
            totals.estimatedTokens += sign * file.value().tokens;
        }
    }
    totals.totalFiles = qMax<qint64>(0, totals.totalFiles);
    totals.totalChars = qMax<qint64>(0, totals.totalChars);
    totals.estimatedTokens = qMax<qint64>(0, totals.estimatedTokens);
    return totals;
}

QList<SelectionDetails::Heavy> SelectionDetails::heaviest(int count) const
{
    QList<Heavy> files;
    for (auto item = m_counts.cbegin(); item != m_counts.cend(); ++item) {
        const ItemTicks ticks = m_ticks.value(item.key());
        for (auto file = item.value().cbegin(); file != item.value().cend(); ++file) {
            if (file.value().tokens >= 0 && ticks.takes(file.key(), false))
                files.append({item.key(), file.key(), file.value().tokens});
        }
    }
    const qsizetype kept = qMin<qsizetype>(count, files.size());
    std::partial_sort(files.begin(), files.begin() + kept, files.end(),
                      [](const Heavy &a, const Heavy &b) {
                          // Equal files keep one order, by place, so the list does not shuffle between estimates.
                          if (a.tokens != b.tokens)
                              return a.tokens > b.tokens;
                          return a.item != b.item ? a.item.toString() < b.item.toString() : a.path < b.path;
                      });
    files.resize(kept);
    return files;
}
