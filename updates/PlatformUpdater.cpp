#include "PlatformUpdater.h"

#include "AppcastUpdater.h"
#include "BuildConfig.h"

#if defined(Q_OS_MACOS)
#include "SparkleUpdater.h"
#endif

#include <QCoreApplication>
#include <QThread>

std::unique_ptr<Updater> createPlatformUpdater(QObject *parent)
{
    std::unique_ptr<Updater> updater;
#if defined(Q_OS_MACOS)
    // The framework reads the same feed and key from the bundle's Info.plist
    // (SUFeedURL, SUPublicEDKey). It refuses to start without them, so a
    // build that lacks either answers the way the other platforms do.
    if (buildconfig::appcastUrl[0] != '\0' && buildconfig::updatePublicKey[0] != '\0')
        updater = std::make_unique<SparkleUpdater>();
#endif
    if (!updater) {
        updater = std::make_unique<AppcastUpdater>(AppcastUpdater::defaultFeedUrl(),
                                                   AppcastUpdater::defaultPublicKey(),
                                                   QCoreApplication::applicationVersion());
    }
    if (parent && parent->thread() != updater->thread())
        updater->moveToThread(parent->thread());
    return updater;
}
