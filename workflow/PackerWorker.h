#pragma once

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

private:
    QThread m_thread;
    QObject *m_context;
};
