#pragma once

#include "PackerJobs.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <stop_token>

class PackerWorker;
class RepomixWrapper;

// The live estimates: every trigger (an edit of the ignore patterns, a drop,
// a removal, the settings closing), the one debounce timer, the stop handle of
// the latest estimate (a newer one stops it at once), and what the status bar
// shows about it.
class EstimatesManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isEstimating READ isEstimating NOTIFY isEstimatingChanged)
    // Why the latest estimate failed, for the status bar; empty when it did not.
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)

public:
    static constexpr int debounceMilliseconds = 500;

    // `input` reads what to estimate when an estimate starts. The wrapper and
    // the worker outlive this object.
    EstimatesManager(RepomixWrapper &wrapper, PackerWorker &worker, std::function<JobInput()> input,
                     QObject *parent = nullptr);
    ~EstimatesManager() override;

    bool isEstimating() const { return m_isEstimating; }
    QString errorMessage() const { return m_errorMessage; }

    // An edit of the patterns or a drop: the estimate follows once nothing
    // new came for half a second, so that typing, or one drop of many items,
    // or a drop and an edit, cause one run.
    void refreshSoon();
    // Estimates now: a fresh run for a non-empty selection, zero totals for an
    // empty one. Waits while held.
    Q_INVOKABLE void updateEstimates();

    // While held (a bundle job owns the totals) estimates wait; releasing runs
    // the one that was asked for meanwhile.
    void setHeld(bool held);
    // Stops the running estimate; it publishes nothing.
    void stopEstimate();

signals:
    void isEstimatingChanged();
    void errorMessageChanged();
    // The newest estimate's result (all zero for an empty selection).
    void estimated(const JobResult &result);

private:
    void start(const JobInput &input);
    void publish(const std::stop_token &token, const JobInput &counted, const Result<JobResult> &result);
    void setEstimating(bool on);
    void setErrorMessage(const QString &message);

    RepomixWrapper &m_wrapper;
    PackerWorker &m_worker;
    std::function<JobInput()> m_input;
    QTimer m_debounce;
    bool m_isEstimating = false;
    QString m_errorMessage;
    bool m_held = false;
    bool m_requestedWhileHeld = false;
    std::stop_source m_estimate{std::nostopstate};
};
