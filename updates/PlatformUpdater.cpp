#include "PlatformUpdater.h"

#if defined(Q_OS_MACOS)
#include "SparkleUpdater.h"
#else
#include "AppcastUpdater.h"
#include <QCoreApplication>
#endif

#include <QThread>

std::unique_ptr<Updater> createPlatformUpdater(QObject *parent)
{
#if defined(Q_OS_MACOS)
    std::unique_ptr<Updater> updater = std::make_unique<SparkleUpdater>();
#else
    std::unique_ptr<Updater> updater =
        std::make_unique<AppcastUpdater>(AppcastUpdater::defaultFeedUrl(), QCoreApplication::applicationVersion());
#endif
    if (parent && parent->thread() != updater->thread())
        updater->moveToThread(parent->thread());
    return updater;
}
