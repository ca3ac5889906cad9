#include "SelectionHistory.h"

SelectionHistory::SelectionHistory(QObject *parent)
    : QObject(parent)
{
    m_noticeTimer.setSingleShot(true);
    m_noticeTimer.setInterval(noticeMilliseconds);
    connect(&m_noticeTimer, &QTimer::timeout, this, &SelectionHistory::dismissNotice);
}

void SelectionHistory::record(const QString &change, SelectionState before, QList<QUrl> after)
{
    m_entries.append({change, std::move(before), std::move(after)});
    if (m_entries.size() > depth)
        m_entries.removeFirst();
    emit changed();
    setNoticeShown(true);
    m_noticeTimer.start();
}

std::optional<SelectionHistory::Entry> SelectionHistory::takeLast()
{
    if (m_entries.isEmpty())
        return std::nullopt;
    Entry entry = m_entries.takeLast();
    emit changed();
    dismissNotice();
    return entry;
}

void SelectionHistory::dismissNotice()
{
    m_noticeTimer.stop();
    setNoticeShown(false);
}

void SelectionHistory::setNoticeShown(bool shown)
{
    if (m_noticeShown == shown)
        return;
    m_noticeShown = shown;
    emit noticeShownChanged();
}
