#include "FileSelection.h"

#include "CountText.h"
#include "StagingCopy.h"
#include "UserText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include <filesystem>
#include <memory>

FileSelection::FileSelection(QObject *parent)
    : QObject(parent)
{
    connect(&m_selectionState, &FileSelectionState::selectedFileChanged, this,
            [this] { m_files.setHighlighted(m_selectionState.selectedFile()); });
}

namespace {
QList<QUrl> localOnly(const QList<QUrl> &urls)
{
    QList<QUrl> local;
    local.reserve(urls.size());
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            local << url;
    }
    return local;
}
} // namespace

bool FileSelection::add(const QList<QUrl> &urls)
{
    const bool changed = m_files.add(localOnly(urls));
    if (changed)
        emit this->changed();
    return changed;
}

void FileSelection::addDropped(const QList<QUrl> &urls, std::function<void(bool)> done)
{
    m_drops.append({localOnly(urls), std::move(done)});
    if (!m_merging)
        addNextDrop();
}

void FileSelection::addNextDrop()
{
    while (!m_drops.isEmpty()) {
        Drop &drop = m_drops.first();
        if (drop.urls.size() < backgroundAddingFrom) {
            Drop small = m_drops.takeFirst();
            const bool changed = m_files.add(small.urls);
            if (small.done)
                small.done(changed);
            continue;
        }
        // The merge works on a snapshot; if the list changes meanwhile (a
        // row removed), it is merged again with the list as it is then.
        m_merging = true;
        auto adding = std::make_shared<FileListModel::Adding>(m_files.startAdding(drop.urls));
        QThreadPool::globalInstance()->start([this, adding, guard = QPointer<FileSelection>(this)] {
            adding->run();
            // Back on the application's thread, where `guard` tells whether
            // this selection still exists.
            QMetaObject::invokeMethod(QCoreApplication::instance(), [this, adding, guard] {
                if (!guard)
                    return;
                if (!m_files.finishAdding(std::move(*adding))) {
                    m_merging = false;
                    addNextDrop(); // again, on the list as it is now
                    return;
                }
                Drop finished = m_drops.takeFirst();
                m_merging = false;
                if (finished.done)
                    finished.done(adding->changed());
                addNextDrop();
            });
        });
        return;
    }
}

bool FileSelection::remove(const QUrl &url)
{
    const SelectionState before = snapshot();
    if (!m_files.remove(url))
        return false;
    record(tr("Removed \u201C%1\u201D").arg(QFileInfo(QDir::cleanPath(url.toLocalFile())).fileName()), before);
    emit changed();
    return true;
}

void FileSelection::clear(const QString &change)
{
    const SelectionState before = snapshot();
    m_files.clear();
    if (!before.files.isEmpty())
        record(change.isEmpty() ? tr("Cleared %1").arg(formatCount(before.files.size(), tr("item"), tr("items"))) : change,
               before);
    emit changed();
}

void FileSelection::replace(const QList<QUrl> &urls, const QString &change)
{
    const SelectionState before = snapshot();
    m_files.clear();
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            m_files.add(url);
    }
    if (!before.files.isEmpty())
        record(change, before);
    emit changed();
}

QString FileSelection::missingText(const QString &path)
{
    const LeftOutReason reason = unreachableItemReason(path);
    if (reason == LeftOutReason::Missing)
        return tr("not found: %1").arg(UserText::displayPath(path));
    return tr("%1: %2").arg(UserText::displayPath(path), UserText::reason(reason));
}

QString FileSelection::unusable(const QUrl &url, Check check)
{
    if (!url.isLocalFile())
        return {};
    const QString path = QDir::cleanPath(url.toLocalFile());
    const QFileInfo info(path);
    if (!info.exists())
        return missingText(path);
    if (check == Check::Exists)
        return {};
    // Tried as the packer will read it: opened (a folder listed), which asks
    // the system itself rather than the permission bits.
    bool readable = false;
    if (info.isDir()) {
        std::error_code error;
        std::filesystem::directory_iterator listing(QFile::encodeName(path).toStdString(), error);
        readable = !error;
    } else {
        QFile file(path);
        readable = file.open(QIODevice::ReadOnly);
    }
    if (!readable)
        return tr("cannot be read: %1").arg(QDir::toNativeSeparators(path));
    return {};
}

SelectionState FileSelection::snapshot() const
{
    return {m_files.urls(), m_selectionState.selectedFile(), m_readTicks ? m_readTicks() : Ticks()};
}

void FileSelection::recordChange(const QString &change, const SelectionState &before)
{
    record(change, before);
}

void FileSelection::setTicksAccess(std::function<Ticks()> read, std::function<void(const QUrl &, const ItemTicks &)> write)
{
    m_readTicks = std::move(read);
    m_writeTicks = std::move(write);
}

void FileSelection::record(const QString &change, const SelectionState &before)
{
    m_history.record(change, before, m_files.urls());
}

bool FileSelection::undo()
{
    const std::optional<SelectionHistory::Entry> entry = m_history.takeLast();
    if (!entry)
        return false;
    const QList<QUrl> &now = m_files.urls();
    QList<QUrl> restored;
    // An entry that returns stays out when a folder added since holds it.
    for (const QUrl &url : entry->before.files) {
        const bool heldByNewer = std::any_of(now.cbegin(), now.cend(), [&](const QUrl &current) {
            return current != url && FileListModel::contains(current, url);
        });
        if (!heldByNewer)
            restored << url;
    }
    const QSet<QUrl> returning(restored.cbegin(), restored.cend());
    const QSet<QUrl> putInByTheChange(entry->after.cbegin(), entry->after.cend());
    for (const QUrl &url : now) {
        if (putInByTheChange.contains(url))
            continue;
        const bool heldByReturning = std::any_of(restored.cbegin(), restored.cend(), [&](const QUrl &back) {
            return FileListModel::contains(back, url);
        });
        if (!returning.contains(url) && !heldByReturning)
            restored << url;
    }
    m_files.restore(restored);
    if (m_writeTicks) {
        for (const QUrl &url : entry->before.files) {
            if (m_files.indexOf(url) >= 0)
                m_writeTicks(url, entry->before.ticks.value(url));
        }
    }
    if (m_files.indexOf(entry->before.highlighted) >= 0)
        m_selectionState.setSelectedFile(entry->before.highlighted);
    emit changed();
    return true;
}

void FileSelection::select(const QUrl &url)
{
    if (m_files.indexOf(url) >= 0)
        m_selectionState.setSelectedFile(url);
}

void FileSelection::showCurrent()
{
    if (!m_files.isEmpty() && highlightedRow() < 0)
        m_selectionState.setSelectedFile(m_files.at(0));
}

int FileSelection::highlightedRow() const
{
    const QUrl highlighted = m_selectionState.selectedFile();
    return highlighted.isEmpty() ? -1 : m_files.indexOf(highlighted);
}

bool FileSelection::handleKey(int key)
{
    if (m_files.isEmpty())
        return false;
    const int current = highlightedRow();

    if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
        if (current < 0)
            return false;
        // The highlight moves to the entry that takes the removed one's place.
        const QUrl removed = m_files.at(current);
        const QUrl next = m_files.at(current + 1 < m_files.count() ? current + 1 : current - 1);
        remove(removed);
        m_selectionState.setSelectedFile(next);
        if (!next.isEmpty())
            emit scrollToRequested(next);
        return true;
    }
    if (key != Qt::Key_Up && key != Qt::Key_Down)
        return false;

    int next = current;
    if (current < 0)
        next = 0;
    else if (key == Qt::Key_Up && current > 0)
        next = current - 1;
    else if (key == Qt::Key_Down && current < m_files.count() - 1)
        next = current + 1;
    if (next != current) {
        const QUrl target = m_files.at(next);
        m_selectionState.setSelectedFile(target);
        emit scrollToRequested(target);
    }
    return true;
}
