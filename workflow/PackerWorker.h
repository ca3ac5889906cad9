#pragma once

#include "KeptBundle.h"

#include <QPointer>
#include <QThread>

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
        post([receiver = QPointer<QObject>(receiver), job = std::move(job), deliver = std::move(deliver)] {
            auto result = job();
            QMetaObject::invokeMethod(
                receiver.data(), [receiver, deliver, result] {
                    if (receiver)
                        deliver(result);
                },
                Qt::QueuedConnection);
        });
    }

    // What the last estimate on this thread left for a bundle of the same selection.
    KeptBundle &keptBundle() { return m_kept; }

private:
    KeptBundle m_kept; // outlives the thread: a running job may hold its output
    QThread m_thread;
    QObject *m_context;
};
