#include "KeptBundle.h"

#include <QFile>
#include <QFileInfo>

KeptBundle::Output::~Output()
{
    for (const QString &file : std::as_const(files))
        QFile::remove(file);
}

void KeptBundle::keep(std::shared_ptr<Output> output)
{
    std::shared_ptr<const Output> replaced;
    std::lock_guard lock(m_mutex);
    replaced = std::exchange(m_output, output && output->snapshot.trusted ? std::move(output) : nullptr);
}

std::shared_ptr<const KeptBundle::Output> KeptBundle::forInput(const JobInput &input) const
{
    std::lock_guard lock(m_mutex);
    return m_output && m_output->input == input ? m_output : nullptr;
}

void KeptBundle::clear()
{
    std::shared_ptr<const Output> dropped;
    std::lock_guard lock(m_mutex);
    dropped = std::exchange(m_output, nullptr);
}

qint64 KeptBundle::bytes() const
{
    std::lock_guard lock(m_mutex);
    qint64 total = 0;
    if (m_output) {
        for (const QString &file : m_output->files)
            total += QFileInfo(file).size();
    }
    return total;
}
