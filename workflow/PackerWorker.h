#pragma once

#include "KeptBundle.h"

#include <QPointer>
#include <QThread>
#include <QTimer>

#include <functional>

// One thread that runs packer jobs one after another, in the order posted,
// so that an estimate and a bundle job never use the runner at once.
class PackerWorker
{
public:
    PackerWorker();
    // Lets the running job end (stop it first) and drops those not started.
    ~PackerWorker();

    PackerWorker(const PackerWorker &) = delete;
    PackerWorker &operator=(const PackerWorker &) = delete;

    void post(std::function<void()> job);

    // Runs `job` on the packer thread, then `deliver` with its result on
    // `receiver`'s thread, unless the receiver is gone by then.
    template <typename Job, typename Deliver>
    void post(QObject *receiver, Job job, Deliver deliver)
    {
        post([receiver = QPointer<QObject>(receiver), release = QPointer<QTimer>(&m_release), job = std::move(job),
              deliver = std::move(deliver)] {
            auto result = job();
            QMetaObject::invokeMethod(
                receiver.data(), [receiver, release, deliver, result] {
                    if (receiver)
                        deliver(result);
                    if (release)
                        release->start();
                },
                Qt::QueuedConnection);
        });
    }

    // What the last estimate on this thread left for a bundle of the same selection.
    KeptBundle &keptBundle() { return m_kept; }

    // How long after the last delivered result the memory that results and
    // their passing through the models took is given back to the system.
    static constexpr int releaseDelayMilliseconds = 2000;

private:
    KeptBundle m_kept; // outlives the thread: a running job may hold its output
    QTimer m_release;  // restarted on the receivers' thread (which made this worker) by each delivery
    QThread m_thread;
    QObject *m_context;
};
