#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <stop_token>
#include <vector>

// Schedules the live estimates: the flag the view shows, the stop handle of
// the latest estimate (a newer one stops it), and the debounce of edits of the
// ignore patterns.
class EstimatesManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isEstimating READ isEstimating NOTIFY isEstimatingChanged)

public:
    static constexpr int debounceMilliseconds = 500;

    explicit EstimatesManager(QObject *parent = nullptr);
    ~EstimatesManager() override;

    bool isEstimating() const { return m_isEstimating; }
    void setEstimating(bool on);

    // The debounce subject: each new text restarts the wait; the latest text
    // reaches every subscribed action once no newer one came for 500 ms.
    Q_INVOKABLE void send(const QString &text);
    void setupDebouncer(std::function<void(const QString &)> action);

    // Starts tracking a new estimate and stops the previous one, whose
    // packer ends at once; returns the new estimate's stop token.
    std::stop_token beginEstimate();
    // Stops the latest estimate, if it still runs.
    void stopEstimate();
    bool isLatest(const std::stop_token &token) const;

signals:
    void isEstimatingChanged();

private:
    bool m_isEstimating = false;
    std::stop_source m_estimateTask{std::nostopstate};
    QTimer m_debounce;
    QString m_pendingText;
    std::vector<std::function<void(const QString &)>> m_subscriptions;
};
