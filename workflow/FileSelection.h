#pragma once

#include "FileListModel.h"
#include "FileSelectionState.h"

#include <QObject>

#include <functional>

// The chosen files and folders with their one highlighted entry: what drops,
// open requests, the rows' remove buttons, "Clear All" and the list's keys
// change.
class FileSelection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(FileListModel *files READ files CONSTANT)
    Q_PROPERTY(FileSelectionState *selectionState READ selectionState CONSTANT)

public:
    explicit FileSelection(QObject *parent = nullptr);

    FileListModel *files() { return &m_files; }
    const FileListModel &files() const { return m_files; }
    FileSelectionState *selectionState() { return &m_selectionState; }
    const QList<QUrl> &urls() const { return m_files.urls(); }

    // Adds the local files and folders among `urls`, in order (see
    // FileListModel::add); other URLs are skipped. True when the list changed.
    bool add(const QList<QUrl> &urls);
    // The same for a drop, which may hold many thousand entries: a large one
    // is merged into the list on a worker thread, so that the window goes
    // on. Drops are added in the order they came. `done` runs on this
    // object's thread once the entries are in, with whether the list changed;
    // `changed` is left to the caller.
    void addDropped(const QList<QUrl> &urls, std::function<void(bool changed)> done);

    // Drops from this size on are merged off this thread.
    static constexpr qsizetype backgroundAddingFrom = 500;
    // Removes the entry equal to `url`; true when there was one.
    bool remove(const QUrl &url);
    void clear();

    // The list's keys: Up and Down move the highlight (the first arrow picks
    // the first entry; the ends hold), Delete and Backspace remove the
    // highlighted entry. True when the key was used.
    Q_INVOKABLE bool handleKey(int key);

signals:
    // Entries came or went.
    void changed();
    // The view should bring this entry into sight.
    void scrollToRequested(const QUrl &file);

private:
    int highlightedRow() const;
    void addNextDrop();

    struct Drop
    {
        QList<QUrl> urls;
        std::function<void(bool)> done;
    };
    QList<Drop> m_drops; // waiting or being merged, oldest first
    bool m_merging = false;

    FileListModel m_files;
    FileSelectionState m_selectionState;
};
