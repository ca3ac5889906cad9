#include "FileTreeModel.h"

#include "CountText.h"

#include <QCollator>

#include <algorithm>

FileTreeModel::FileTreeModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void FileTreeModel::reset(const QString &rootName, const QHash<QString, Counts> &files, const ItemTicks &ticks)
{
    const bool sameRoot = rootName == m_rootName;
    const QSet<QString> expanded = sameRoot ? expandedPaths() : QSet<QString>();
    beginResetModel();
    m_rootName = rootName;
    m_ticks = ticks;
    build(files, expanded);
    layout();
    endResetModel();
    if (!sameRoot)
        emit rootChanged();
    emit countChanged();
}

void FileTreeModel::update(const QHash<QString, Counts> &files, const ItemTicks &ticks)
{
    reset(m_rootName, files, ticks);
}

QSet<QString> FileTreeModel::expandedPaths() const
{
    QSet<QString> paths;
    for (const Node &node : m_nodes) {
        if (node.folder && node.expanded)
            paths.insert(node.path);
    }
    return paths;
}

void FileTreeModel::build(const QHash<QString, Counts> &files, const QSet<QString> &expanded)
{
    m_nodes.assign(1, Node{});
    m_nodes[0].folder = true;
    m_nodes[0].expanded = true;
    m_nodes[0].depth = -1;
    QHash<QString, int> folders{{QString(), 0}};
    // Folders before the files they hold: parents are made on the way down.
    QStringList paths = files.keys();
    paths.sort();
    for (const QString &path : std::as_const(paths)) {
        int parent = 0;
        qsizetype from = 0;
        for (qsizetype slash = path.indexOf(u'/'); slash >= 0; slash = path.indexOf(u'/', from)) {
            const QString folder = path.left(slash);
            auto found = folders.constFind(folder);
            if (found == folders.cend()) {
                Node node;
                node.name = path.mid(from, slash - from);
                node.path = folder;
                node.parent = parent;
                node.depth = m_nodes[std::size_t(parent)].depth + 1;
                node.folder = true;
                node.expanded = expanded.contains(folder);
                m_nodes.push_back(node);
                const int index = int(m_nodes.size()) - 1;
                m_nodes[std::size_t(parent)].children.push_back(index);
                found = folders.insert(folder, index);
            }
            parent = *found;
            from = slash + 1;
        }
        if (files.value(path).folder) {
            // A folder known only by its name: shown, with nothing known inside.
            if (!folders.contains(path)) {
                Node node;
                node.name = path.mid(from);
                node.path = path;
                node.parent = parent;
                node.depth = m_nodes[std::size_t(parent)].depth + 1;
                node.folder = true;
                node.known = false;
                m_nodes.push_back(node);
                folders.insert(path, int(m_nodes.size()) - 1);
                m_nodes[std::size_t(parent)].children.push_back(int(m_nodes.size()) - 1);
            }
            continue;
        }
        Node file;
        file.name = path.mid(from);
        file.path = path;
        file.parent = parent;
        file.depth = m_nodes[std::size_t(parent)].depth + 1;
        file.counts = files.value(path);
        m_nodes.push_back(file);
        m_nodes[std::size_t(parent)].children.push_back(int(m_nodes.size()) - 1);
    }
    summarize(0);
}

// Sums, from the files up.
void FileTreeModel::summarize(int index)
{
    Node &node = m_nodes[std::size_t(index)];
    if (!node.folder) {
        const bool on = m_ticks.takes(node.path, false);
        node.files = 1;
        node.ticked = on ? 1 : 0;
        node.known = node.counts.tokens >= 0;
        node.tickedTokens = on ? qMax<qint64>(0, node.counts.tokens) : 0;
        node.tickedCharacters = on ? qMax<qint64>(0, node.counts.characters) : 0;
        return;
    }
    node.files = node.ticked = 0;
    node.tickedTokens = node.tickedCharacters = 0;
    node.known = true;
    for (const int child : node.children) {
        summarize(child); // changes other nodes only: `node` stays where it is
        const Node &below = m_nodes[std::size_t(child)];
        node.files += below.files;
        node.ticked += below.ticked;
        node.tickedTokens += below.tickedTokens;
        node.tickedCharacters += below.tickedCharacters;
        node.known = node.known && (below.known || below.ticked == 0);
    }
}

void FileTreeModel::sortChildren(int index)
{
    std::vector<int> &children = m_nodes[std::size_t(index)].children;
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(children.begin(), children.end(), [&](int a, int b) {
        const Node &x = m_nodes[std::size_t(a)];
        const Node &y = m_nodes[std::size_t(b)];
        if (m_byTokens && x.tickedTokens != y.tickedTokens)
            return x.tickedTokens > y.tickedTokens;
        if (x.folder != y.folder)
            return x.folder; // folders first
        return collator.compare(x.name, y.name) < 0;
    });
}

bool FileTreeModel::matchesFilter(int index) const
{
    const Node &node = m_nodes[std::size_t(index)];
    if (!node.folder)
        return node.name.contains(m_filter, Qt::CaseInsensitive);
    return std::any_of(node.children.begin(), node.children.end(), [this](int child) { return matchesFilter(child); });
}

void FileTreeModel::appendVisible(int index, bool filtering)
{
    sortChildren(index);
    for (const int child : m_nodes[std::size_t(index)].children) {
        if (filtering && !matchesFilter(child))
            continue;
        m_rows.push_back(child);
        const Node &node = m_nodes[std::size_t(child)];
        if (node.folder && (node.expanded || filtering))
            appendVisible(child, filtering);
    }
}

void FileTreeModel::layout()
{
    m_rows.clear();
    appendVisible(0, !m_filter.isEmpty());
}

void FileTreeModel::setByTokens(bool on)
{
    if (m_byTokens == on)
        return;
    m_byTokens = on;
    beginResetModel();
    layout();
    endResetModel();
    emit byTokensChanged();
}

void FileTreeModel::setFilter(const QString &text)
{
    if (m_filter == text)
        return;
    m_filter = text;
    beginResetModel();
    layout();
    endResetModel();
    emit filterChanged();
    emit countChanged();
}

int FileTreeModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

Qt::CheckState FileTreeModel::checkState(const Node &node) const
{
    if (node.ticked == 0)
        return Qt::Unchecked;
    return node.ticked == node.files ? Qt::Checked : Qt::PartiallyChecked;
}

QVariant FileTreeModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Node &node = m_nodes[std::size_t(m_rows[std::size_t(index.row())])];
    const bool known = node.folder ? node.known : node.counts.tokens >= 0;
    const qint64 tokens = node.folder ? node.tickedTokens : node.counts.tokens;
    switch (role) {
    case NameRole:
    case Qt::DisplayRole:
        return node.name;
    case PathRole:
        return node.path;
    case DepthRole:
        return node.depth;
    case FolderRole:
        return node.folder;
    case ExpandedRole:
        return node.folder && (node.expanded || !m_filter.isEmpty());
    case CheckStateRole:
        return int(checkState(node));
    case TokensRole:
        return known ? tokens : qint64(-1);
    case CharactersRole:
        return known ? (node.folder ? node.tickedCharacters : node.counts.characters) : qint64(-1);
    case ShareRole:
        return known ? formatCount(tokens, tr("token"), tr("tokens")) : QString();
    default:
        return {};
    }
}

QHash<int, QByteArray> FileTreeModel::roleNames() const
{
    return {{NameRole, "name"},       {PathRole, "path"},         {DepthRole, "depth"},
            {FolderRole, "folder"},   {ExpandedRole, "expanded"}, {CheckStateRole, "checkState"},
            {TokensRole, "tokens"},   {CharactersRole, "characters"}, {ShareRole, "share"}};
}

void FileTreeModel::setExpanded(int row, bool expanded)
{
    if (row < 0 || row >= rowCount() || !m_filter.isEmpty())
        return;
    Node &node = m_nodes[std::size_t(m_rows[std::size_t(row)])];
    if (!node.folder || node.expanded == expanded)
        return;
    node.expanded = expanded;
    beginResetModel();
    layout();
    endResetModel();
    emit countChanged();
}

int FileTreeModel::reveal(const QString &path)
{
    int found = -1;
    for (std::size_t i = 1; i < m_nodes.size(); ++i) {
        if (m_nodes[i].path == path)
            found = int(i);
    }
    if (found < 0)
        return -1;
    bool opened = false;
    for (int parent = m_nodes[std::size_t(found)].parent; parent > 0; parent = m_nodes[std::size_t(parent)].parent) {
        opened = opened || !m_nodes[std::size_t(parent)].expanded;
        m_nodes[std::size_t(parent)].expanded = true;
    }
    if (opened) {
        beginResetModel();
        layout();
        endResetModel();
        emit countChanged();
    }
    const auto row = std::find(m_rows.begin(), m_rows.end(), found);
    return row == m_rows.end() ? -1 : int(row - m_rows.begin());
}

int FileTreeModel::shownRow(const QString &path) const
{
    int node = -1;
    for (std::size_t i = 1; i < m_nodes.size() && node < 0; ++i) {
        if (m_nodes[i].path == path)
            node = int(i);
    }
    for (; node > 0; node = m_nodes[std::size_t(node)].parent) {
        if (const auto row = std::find(m_rows.begin(), m_rows.end(), node); row != m_rows.end())
            return int(row - m_rows.begin());
    }
    return -1;
}

// Ticks or unticks `index` with all it holds, in the ticks' own terms: an
// unticked folder is one entry; ticking inside an unticked folder unticks
// its other parts instead.
void FileTreeModel::tick(int index, bool on)
{
    const Node &node = m_nodes[std::size_t(index)];
    const QString prefix = node.path + u'/';
    const auto below = [&](const QString &path) { return path == node.path || path.startsWith(prefix); };
    if (!on) {
        m_ticks.unticked.removeIf([&](const QString &path) { return below(path); });
        m_ticks.unticked.insert(node.path);
        if (m_ticks.onlyFiles)
            m_ticks.onlyFiles->removeIf([&](const QString &path) { return below(path); });
        return;
    }
    m_ticks.unticked.removeIf([&](const QString &path) { return below(path); });
    // An unticked folder above: it is ticked again, and everything on the
    // way down that is not on the way to `index` stays unticked.
    std::vector<int> way; // from `index` up to a child of the unticked folder
    for (int step = index; step > 0; step = m_nodes[std::size_t(step)].parent) {
        way.push_back(step);
        const int parent = m_nodes[std::size_t(step)].parent;
        if (parent > 0 && m_ticks.unticked.remove(m_nodes[std::size_t(parent)].path)) {
            for (const int onTheWay : way) {
                for (const int sibling : m_nodes[std::size_t(m_nodes[std::size_t(onTheWay)].parent)].children) {
                    if (sibling != onTheWay)
                        m_ticks.unticked.insert(m_nodes[std::size_t(sibling)].path);
                }
            }
            break;
        }
    }
    if (m_ticks.onlyFiles) {
        std::vector<int> stack{index};
        while (!stack.empty()) {
            const Node &at = m_nodes[std::size_t(stack.back())];
            stack.pop_back();
            if (!at.folder)
                m_ticks.onlyFiles->insert(at.path);
            stack.insert(stack.end(), at.children.begin(), at.children.end());
        }
    }
}

void FileTreeModel::toggle(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    const int index = m_rows[std::size_t(row)];
    tick(index, checkState(m_nodes[std::size_t(index)]) != Qt::Checked);
    summarize(0);
    if (m_byTokens) {
        beginResetModel();
        layout();
        endResetModel();
    } else {
        emit dataChanged(this->index(0), this->index(rowCount() - 1), {CheckStateRole, TokensRole, CharactersRole, ShareRole});
    }
    emit ticksChanged(m_ticks);
}

int FileTreeModel::parentRow(int row) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    const int parent = m_nodes[std::size_t(m_rows[std::size_t(row)])].parent;
    const auto at = std::find(m_rows.begin(), m_rows.end(), parent);
    return at == m_rows.end() ? -1 : int(at - m_rows.begin());
}
