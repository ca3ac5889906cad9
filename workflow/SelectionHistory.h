#pragma once

#include "ItemTicks.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <optional>

// The selection as it stood before a change that took something away: the
// chosen items in their order, the highlighted one, and what is left out
// inside the chosen folders, so that one undo brings all of it back.
struct SelectionState
{
    QList<QUrl> files;
    QUrl highlighted;
    QHash<QUrl, ItemTicks> ticks; // the items that do not take all they hold

    bool operator==(const SelectionState &) const = default;
};

// The changes of the selection that can be taken back, newest last, each
// with the words that name it ("Removed “notes.md”"), and the short-lived
// notice that offers to take the newest back. Adding items is never
// recorded: it takes nothing away, and an undo keeps what was added since.
class SelectionHistory : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY changed)
    // What the newest change did, for the notice and the Undo command.
    Q_PROPERTY(QString lastChange READ lastChange NOTIFY changed)
    // The notice stands for a few seconds after each recorded change.
    Q_PROPERTY(bool noticeShown READ noticeShown NOTIFY noticeShownChanged)

public:
    struct Entry
    {
        QString change;
        SelectionState before;
        // The entries right after the change: what the change itself put
        // there goes with it on undo; what came later stays.
        QList<QUrl> after;
    };

    static constexpr int depth = 10;
    static constexpr int noticeMilliseconds = 8000;

    explicit SelectionHistory(QObject *parent = nullptr);

    bool canUndo() const { return !m_entries.isEmpty(); }
    QString lastChange() const { return m_entries.isEmpty() ? QString() : m_entries.constLast().change; }
    bool noticeShown() const { return m_noticeShown; }

    // Records a change that was just made, from `before` to `after`, and
    // shows the notice. The oldest entry goes beyond `depth`.
    void record(const QString &change, SelectionState before, QList<QUrl> after);
    // Takes the newest entry off the history; the notice goes.
    std::optional<Entry> takeLast();
    Q_INVOKABLE void dismissNotice();

signals:
    void changed();
    void noticeShownChanged();

private:
    void setNoticeShown(bool shown);

    QList<Entry> m_entries;
    bool m_noticeShown = false;
    QTimer m_noticeTimer;
};
