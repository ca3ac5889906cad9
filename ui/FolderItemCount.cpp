#include "FolderItemCount.h"

#include "NativePath.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>

#include <vector>

namespace fs = std::filesystem;

qint64 countFolderItems(const fs::path &folder, const std::atomic<bool> *cancelled)
{
    const auto stop = [cancelled] { return cancelled && cancelled->load(std::memory_order_relaxed); };
    qint64 count = 0;
    // Our own stack instead of recursive_directory_iterator, which gives up on
    // the whole walk at the first error it meets.
    std::vector<fs::path> pending{folder};
    while (!pending.empty() && !stop()) {
        const fs::path dir = std::move(pending.back());
        pending.pop_back();
        std::error_code error;
        fs::directory_iterator it(dir, error);
        if (error)
            continue;
        for (const fs::directory_iterator end; it != end; it.increment(error)) {
            if (stop())
                return count;
            std::error_code statusError;
            const fs::file_status status = it->symlink_status(statusError);
            if (!statusError && fs::is_directory(status))
                pending.push_back(it->path());
            else
                ++count;
        }
    }
    return count;
}

namespace {
// Walks run on their own small pool so that big trees never hold up other
// users of the global one. The pool belongs to the application: its
// destructor waits for the walks still running, and it outlives every result
// it posts to itself.
QThreadPool *countingPool()
{
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(2);
    }
    return pool;
}

bool isFolderLocation(const QUrl &url)
{
    if (!url.isLocalFile())
        return false;
    if (url.path().endsWith(QLatin1Char('/')))
        return true;
    return QFileInfo(url.toLocalFile()).isDir();
}
} // namespace

FolderItemCount::FolderItemCount(QObject *parent)
    : QObject(parent)
{
}

FolderItemCount::~FolderItemCount()
{
    if (m_cancelled)
        m_cancelled->store(true);
}

void FolderItemCount::setUrl(const QUrl &url)
{
    if (m_url == url)
        return;
    if (m_cancelled)
        m_cancelled->store(true);
    m_cancelled.reset();
    m_url = url;
    m_isFolder = isFolderLocation(url);
    m_count = 0;
    m_ready = false;
    emit urlChanged();
    emit countChanged();
    if (m_isFolder)
        start();
}

void FolderItemCount::start()
{
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    m_cancelled = cancelled;
    QThreadPool *pool = countingPool();
    QPointer<FolderItemCount> self(this);
    const fs::path folder = toPath(m_url.toLocalFile());
    pool->start([pool, self, cancelled, folder] {
        const qint64 count = countFolderItems(folder, cancelled.get());
        if (cancelled->load())
            return;
        // `self` is only looked at on the main thread, where it can be trusted.
        QMetaObject::invokeMethod(
            pool,
            [self, cancelled, count] {
                if (self && !cancelled->load())
                    self->finish(count);
            },
            Qt::QueuedConnection);
    });
}

void FolderItemCount::finish(qint64 count)
{
    m_cancelled.reset();
    m_count = count;
    m_ready = true;
    emit countChanged();
}
