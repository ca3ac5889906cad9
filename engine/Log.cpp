#include "Log.h"

#include <QMutex>

#include <atomic>
#include <cstdio>

namespace {
std::atomic_bool toStandardError = false;
std::atomic_bool withArguments = true;
} // namespace

void logArguments(bool on)
{
    withArguments = on;
}

bool loggingArguments()
{
    return withArguments;
}

void logToStandardError(bool on)
{
    toStandardError = on;
}

void logLine(const QString &line)
{
    static QMutex mutex;
    const QByteArray bytes = line.toUtf8() + '\n';
    QMutexLocker lock(&mutex);
    FILE *stream = toStandardError ? stderr : stdout;
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}
