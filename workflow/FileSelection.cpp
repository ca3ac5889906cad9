#include "FileSelection.h"

FileSelection::FileSelection(QObject *parent)
    : QObject(parent)
{
}

bool FileSelection::add(const QList<QUrl> &urls)
{
    bool changed = false;
    for (const QUrl &url : urls) {
        if (url.isLocalFile() && m_files.add(url) != FileListModel::Added::Present)
            changed = true;
    }
    if (changed)
        emit this->changed();
    return changed;
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
