#include "SelectionTree.h"

#include "CountText.h"
#include "FileSelection.h"
#include "GitChanges.h"

#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>

SelectionTree::SelectionTree(FileSelection &selection, QObject *parent)
    : QObject(parent)
    , m_selection(selection)
{
    // What is left out inside the folders goes into the selection's undo history.
    m_selection.setTicksAccess([this] { return ticks(); },
                               [this](const QUrl &item, const ItemTicks &ticks) { setTicks(item, ticks); });
    connect(&m_model, &FileTreeModel::ticksChanged, this, [this](const ItemTicks &ticks) { setTicks(m_opened, ticks); });
    // The ticks belong to a listed item for as long as it is listed.
    connect(&m_selection, &FileSelection::changed, this, [this] {
        m_details.keepOnly(m_selection.urls());
        if (!m_opened.isEmpty() && !m_selection.urls().contains(m_opened))
            close();
        emit heaviestFilesChanged();
    });
}

SelectionTree::~SelectionTree() = default;

void SelectionTree::setTicks(const QUrl &item, const ItemTicks &ticks)
{
    if (item.isEmpty() || m_details.ticksOf(item) == ticks)
        return;
    m_details.setTicks(item, ticks);
    if (item == m_opened) {
        if (!(m_model.ticks() == ticks))
            refreshModel();
        emit openedTicksChanged();
    }
    emit heaviestFilesChanged();
    emit ticksChanged();
}

void SelectionTree::absorb(const JobResult &result)
{
    m_details.absorb(result);
    if (!m_opened.isEmpty())
        refreshModel();
    emit heaviestFilesChanged();
}

void SelectionTree::refreshModel()
{
    m_model.reset(QFileInfo(m_opened.toLocalFile()).fileName(), m_details.filesOf(m_opened), m_details.ticksOf(m_opened));
}

bool SelectionTree::open(const QUrl &item)
{
    if (!m_selection.urls().contains(item) || !QFileInfo(item.toLocalFile()).isDir())
        return false;
    if (m_opened == item)
        return true;
    m_opened = item;
    refreshModel();
    emit openedItemChanged();
    emit openedTicksChanged();
    askGit(false);
    return true;
}

void SelectionTree::close()
{
    if (m_opened.isEmpty())
        return;
    m_opened.clear();
    ++m_gitRequest;
    m_model.reset(QString(), {}, {});
    emit openedItemChanged();
}

bool SelectionTree::onlyChanged() const
{
    return !m_opened.isEmpty() && m_details.ticksOf(m_opened).onlyFiles.has_value();
}

QVariantList SelectionTree::heaviestFiles() const
{
    const RunSummary totals = m_details.provisionalTotals();
    QVariantList files;
    for (const SelectionDetails::Heavy &file : m_details.heaviest(10)) {
        const QString item = QFileInfo(file.item.toLocalFile()).fileName();
        const double share = totals.estimatedTokens > 0 ? double(file.tokens) / double(totals.estimatedTokens) : 0;
        files.append(QVariantMap{
            {QStringLiteral("item"), file.item},
            {QStringLiteral("path"), file.path},
            {QStringLiteral("name"), file.path.isEmpty() ? item : item + u'/' + file.path},
            {QStringLiteral("tokens"), file.tokens},
            {QStringLiteral("share"), formatCount(file.tokens, tr("token"), tr("tokens")) + QStringLiteral(" \u00B7 ")
                                          + QString::number(share * 100, 'f', share < 0.1 ? 1 : 0) + u'%'},
        });
    }
    return files;
}

void SelectionTree::leaveOut(const QUrl &item, const QString &path)
{
    if (path.isEmpty()) {
        m_selection.remove(item);
        return;
    }
    const SelectionState before = m_selection.snapshot();
    ItemTicks ticks = m_details.ticksOf(item);
    ticks.unticked.insert(path);
    if (ticks.onlyFiles)
        ticks.onlyFiles->remove(path);
    setTicks(item, ticks);
    m_selection.recordChange(tr("Left out \u201C%1\u201D").arg(path.section(u'/', -1)), before);
}

void SelectionTree::takeAll()
{
    setTicks(m_opened, {});
}

void SelectionTree::takeOnlyChanged()
{
    askGit(true);
}

// Asks git about the opened folder off the window's thread; with `apply`,
// the folder then takes only what changed.
void SelectionTree::askGit(bool apply)
{
    if (m_opened.isEmpty())
        return;
    const int request = ++m_gitRequest;
    const QUrl item = m_opened;
    if (!apply) {
        m_changesUnavailable = QStringLiteral("\u2026");
        emit changesChanged();
    }
    QPointer<SelectionTree> self(this);
    QThreadPool::globalInstance()->start([self, request, item, apply] {
        const GitChanges changes = GitChanges::of(item.toLocalFile());
        QMetaObject::invokeMethod(
            self.data(), [self, request, item, apply, changes] {
                if (!self || request != self->m_gitRequest)
                    return;
                self->m_changesUnavailable = changes.available ? QString() : changes.reason;
                emit self->changesChanged();
                if (apply && changes.available) {
                    ItemTicks ticks;
                    ticks.onlyFiles = changes.files;
                    self->setTicks(item, ticks);
                }
            },
            Qt::QueuedConnection);
    });
}
