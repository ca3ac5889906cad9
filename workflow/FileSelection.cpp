#include "FileSelection.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include <memory>

FileSelection::FileSelection(QObject *parent)
    : QObject(parent)
{
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
    if (!m_files.remove(url))
        return false;
    emit changed();
    return true;
}

void FileSelection::clear()
{
    m_files.clear();
    emit changed();
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
