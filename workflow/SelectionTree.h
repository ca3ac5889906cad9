#pragma once

#include "FileTreeModel.h"
#include "SelectionDetails.h"

#include <QObject>
#include <QUrl>
#include <QVariantList>

class FileSelection;

// Choosing inside the listed folders: the tree of one opened folder with its
// check boxes, the heaviest files of the whole selection with a way to leave
// each out, and "Only changed files" from git. Every change of the ticks is
// announced (ticksChanged) so that the totals follow at once, provisionally,
// until the next estimate confirms them.
class SelectionTree : public QObject
{
    Q_OBJECT
    Q_PROPERTY(FileTreeModel *model READ model CONSTANT)
    // The listed folder whose tree is open; empty when none is.
    Q_PROPERTY(QUrl openedItem READ openedItem NOTIFY openedItemChanged)
    Q_PROPERTY(bool isOpen READ isOpen NOTIFY openedItemChanged)
    // The ten heaviest files as the ticks leave the selection: [{item, path, name, tokens, share}].
    Q_PROPERTY(QVariantList heaviestFiles READ heaviestFiles NOTIFY heaviestFilesChanged)
    // Why the opened folder cannot take only its changed files (no git, not a
    // work tree, git failed); empty when it can. "…" while git is asked.
    Q_PROPERTY(QString changesUnavailable READ changesUnavailable NOTIFY changesChanged)
    // The opened folder takes only what git reports as changed.
    Q_PROPERTY(bool onlyChanged READ onlyChanged NOTIFY openedTicksChanged)

public:
    explicit SelectionTree(FileSelection &selection, QObject *parent = nullptr);
    ~SelectionTree() override;

    FileTreeModel *model() { return &m_model; }
    QUrl openedItem() const { return m_opened; }
    bool isOpen() const { return !m_opened.isEmpty(); }
    QVariantList heaviestFiles() const;
    QString changesUnavailable() const { return m_changesUnavailable; }
    bool onlyChanged() const;

    // The ticks of the items that do not take all they hold.
    QHash<QUrl, ItemTicks> ticks() const { return m_details.ticks(); }
    void setTicks(const QUrl &item, const ItemTicks &ticks);
    // An estimate's counts: the totals it gives are no longer provisional.
    void absorb(const JobResult &result);
    RunSummary provisionalTotals() const { return m_details.provisionalTotals(); }

    // Opens a listed folder's tree; false for a file or an item not listed.
    Q_INVOKABLE bool open(const QUrl &item);
    Q_INVOKABLE void close();
    // Leaves one file out: unticks it in its folder, or removes a chosen file from the list.
    Q_INVOKABLE void leaveOut(const QUrl &item, const QString &path);
    // The opened folder takes only the files git reports as changed, or all again.
    Q_INVOKABLE void takeOnlyChanged();
    Q_INVOKABLE void takeAll();

signals:
    void openedItemChanged();
    void heaviestFilesChanged();
    void changesChanged();
    void openedTicksChanged();
    // The ticks changed: the totals are provisional until the next estimate.
    void ticksChanged();

private:
    void refreshModel();
    void askGit(bool apply);

    FileSelection &m_selection;
    SelectionDetails m_details;
    FileTreeModel m_model;
    QUrl m_opened;
    QString m_changesUnavailable;
    int m_gitRequest = 0; // a git answer for an earlier request is dropped
};
