#pragma once

#include "FileListModel.h"
#include "FileSelectionState.h"
#include "SelectionHistory.h"

#include <QObject>

#include <functional>

// The chosen files and folders with their one highlighted entry: what drops,
// open requests, the rows' remove buttons, "Clear All" and the list's keys
// change. What takes entries away is recorded in `history` and can be undone.
class FileSelection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(FileListModel *files READ files CONSTANT)
    Q_PROPERTY(FileSelectionState *selectionState READ selectionState CONSTANT)
    Q_PROPERTY(SelectionHistory *history READ history CONSTANT)

public:
    explicit FileSelection(QObject *parent = nullptr);

    FileListModel *files() { return &m_files; }
    const FileListModel &files() const { return m_files; }
    FileSelectionState *selectionState() { return &m_selectionState; }
    SelectionHistory *history() { return &m_history; }
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
    // Removes the entry equal to `url`; true when there was one. Recorded.
    bool remove(const QUrl &url);
    // Empties the list, recorded as `change` (nothing is recorded for an
    // empty list; by default "Cleared 3 items").
    void clear(const QString &change = {});
    // Makes `urls` the list in place of what it held, recorded as `change`.
    void replace(const QList<QUrl> &urls, const QString &change);

    // What to tell the user about a path that is not there: "not found", or
    // the truer reason (a file where a folder should be, a name that was not
    // valid UTF-8, ...).
    static QString missingText(const QString &path);
    // Why a dropped or opened location cannot join the list ("not found:
    // /home/ann/gone.txt", "cannot be read: …"); empty when it can. Reading
    // is tried (a file opened, a folder listed) only when asked for.
    enum class Check { Exists, Readable };
    static QString unusable(const QUrl &url, Check check = Check::Readable);

    SelectionState snapshot() const;
    // Records a change just made from `before` (a snapshot taken before it),
    // for changes made elsewhere, such as leaving files out of a folder.
    void recordChange(const QString &change, const SelectionState &before);
    // Where the ticks inside the chosen folders are kept: snapshots read them,
    // an undo puts them back for the items it restores.
    using Ticks = QHash<QUrl, ItemTicks>;
    void setTicksAccess(std::function<Ticks()> read, std::function<void(const QUrl &, const ItemTicks &)> write);
    // Takes the newest recorded change back: its entries return where they
    // stood, what the change put in goes, and entries added since stay
    // after them (unless a returning folder holds them). False when there
    // is nothing to undo.
    Q_INVOKABLE bool undo();

    // Highlights `url` (a click on its row).
    Q_INVOKABLE void select(const QUrl &url);
    // The list took the keyboard focus: without a highlight in the list,
    // the first entry is highlighted, so that the current row shows.
    Q_INVOKABLE void showCurrent();

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
    void record(const QString &change, const SelectionState &before);
    std::function<Ticks()> m_readTicks;
    std::function<void(const QUrl &, const ItemTicks &)> m_writeTicks;
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
    SelectionHistory m_history;
};
