#include "PackerWorker.h"

#include <QMetaObject>

PackerWorker::PackerWorker()
    : m_context(new QObject)
{
    m_thread.setObjectName(QStringLiteral("packer"));
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
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
