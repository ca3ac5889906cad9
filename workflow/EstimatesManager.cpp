#include "EstimatesManager.h"

EstimatesManager::EstimatesManager(QObject *parent)
    : QObject(parent)
{
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(debounceMilliseconds);
    connect(&m_debounce, &QTimer::timeout, this, [this] {
        const QString text = m_pendingText;
        for (const auto &action : m_subscriptions)
            action(text);
    });
}

EstimatesManager::~EstimatesManager()
{
    stopEstimate();
}

void EstimatesManager::setEstimating(bool on)
{
    if (m_isEstimating == on)
        return;
    m_isEstimating = on;
    emit isEstimatingChanged();
}

void EstimatesManager::send(const QString &text)
{
    m_pendingText = text;
    m_debounce.start();
}

void EstimatesManager::setupDebouncer(std::function<void(const QString &)> action)
{
    m_subscriptions.push_back(std::move(action));
}

std::stop_token EstimatesManager::beginEstimate()
{
    stopEstimate();
    m_estimateTask = std::stop_source();
    return m_estimateTask.get_token();
}

void EstimatesManager::stopEstimate()
{
    if (m_estimateTask.stop_possible())
        m_estimateTask.request_stop();
}

bool EstimatesManager::isLatest(const std::stop_token &token) const
{
    return m_estimateTask.stop_possible() && token == m_estimateTask.get_token() && !token.stop_requested();
}
