#include "EstimatesManager.h"

#include "Log.h"
#include "PackerWorker.h"
#include "UserText.h"


EstimatesManager::EstimatesManager(RepomixWrapper &wrapper, PackerWorker &worker, std::function<JobInput()> input,
                                   QObject *parent)
    : QObject(parent)
    , m_wrapper(wrapper)
    , m_worker(worker)
    , m_input(std::move(input))
{
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(debounceMilliseconds);
    connect(&m_debounce, &QTimer::timeout, this, &EstimatesManager::updateEstimates);
}

EstimatesManager::~EstimatesManager()
{
    stopEstimate();
}

void EstimatesManager::refreshSoon()
{
    m_debounce.start();
}

void EstimatesManager::updateEstimates()
{
    m_debounce.stop();
    const JobInput input = m_input();
    if (input.files.isEmpty()) {
        // Nothing to count: an estimate still running would publish the
        // totals of entries that are gone.
        stopEstimate();
        setEstimating(false);
        setErrorMessage({});
        emit estimated({});
        return;
    }
    if (m_held) {
        m_requestedWhileHeld = true;
        return;
    }
    start(input);
}

void EstimatesManager::setHeld(bool held)
{
    if (m_held == held)
        return;
    m_held = held;
    if (held) {
        // The job's totals win; a running estimate would only be thrown away.
        stopEstimate();
        setEstimating(false);
    } else if (std::exchange(m_requestedWhileHeld, false)) {
        updateEstimates();
    }
}

void EstimatesManager::stopEstimate()
{
    if (m_estimate.stop_possible())
        m_estimate.request_stop();
}

void EstimatesManager::start(const JobInput &input)
{
    stopEstimate();
    m_estimate = std::stop_source();
    const std::stop_token token = m_estimate.get_token();
    setEstimating(true);
    RepomixWrapper *wrapper = &m_wrapper;
    m_worker.post(
        this, [wrapper, input, token] { return runEstimate(*wrapper, input, token); },
        [this, token, input](const Result<JobResult> &result) { publish(token, input, result); });
}

void EstimatesManager::publish(const std::stop_token &token, const JobInput &counted, const Result<JobResult> &result)
{
    // Only the newest estimate publishes; a stopped one says nothing.
    if (token.stop_requested() || !m_estimate.stop_possible() || token != m_estimate.get_token())
        return;
    if (result) {
        setErrorMessage({});
        emit estimated(result.value());
    } else {
        logLine(QStringLiteral("Error estimating tokens: ") + result.error().toString());
        setErrorMessage(UserText::cleaned(result.error().description));
    }
    setEstimating(false);

    // Entries and ticks that changed after this estimate started are counted by another one.
    if (const JobInput now = m_input(); result && (counted.files != now.files || counted.ticks != now.ticks))
        updateEstimates();
}

void EstimatesManager::setEstimating(bool on)
{
    if (m_isEstimating == on)
        return;
    m_isEstimating = on;
    emit isEstimatingChanged();
}

void EstimatesManager::setErrorMessage(const QString &message)
{
    if (m_errorMessage == message)
        return;
    m_errorMessage = message;
    emit errorMessageChanged();
}
