#include "PackerWorker.h"

#include "Platform.h"

#include <QMetaObject>

PackerWorker::PackerWorker()
    : m_context(new QObject)
{
    m_thread.setObjectName(QStringLiteral("packer"));
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
    m_release.setSingleShot(true);
    m_release.setInterval(releaseDelayMilliseconds);
    // On the packer thread (the allocator's trim takes milliseconds), after any job still queued.
    QObject::connect(&m_release, &QTimer::timeout, &m_release, [this] { post([] { platform::releaseFreedMemory(); }); });
}

PackerWorker::~PackerWorker()
{
    m_thread.quit();
    m_thread.wait();
}

void PackerWorker::post(std::function<void()> job)
{
    QMetaObject::invokeMethod(m_context, std::move(job), Qt::QueuedConnection);
}
