#include "SparkleUpdater.h"

#import <Sparkle/Sparkle.h>

#include <functional>

// Forwards key-value notifications of the updater's canCheckForUpdates.
@interface LumbrelUpdaterObserver : NSObject
@property (nonatomic) std::function<void(bool)> onChange;
@end

@implementation LumbrelUpdaterObserver
- (void)observeValueForKeyPath:(NSString *)keyPath
                      ofObject:(id)object
                        change:(NSDictionary<NSKeyValueChangeKey, id> *)change
                       context:(void *)context
{
    (void)keyPath;
    (void)object;
    (void)context;
    if (self.onChange)
        self.onChange([change[NSKeyValueChangeNewKey] boolValue]);
}
@end

struct SparkleUpdater::Private
{
    SPUStandardUpdaterController *controller = nil;
    LumbrelUpdaterObserver *observer = nil;
};

SparkleUpdater::SparkleUpdater(QObject *parent)
    : Updater(parent)
    , d(std::make_unique<Private>())
{
    d->controller = [[SPUStandardUpdaterController alloc] initWithStartingUpdater:YES
                                                                  updaterDelegate:nil
                                                               userDriverDelegate:nil];
    d->observer = [[LumbrelUpdaterObserver alloc] init];
    d->observer.onChange = [this](bool can) { setCanCheckForUpdates(can); };
    // The initial option delivers the current value right away.
    [d->controller.updater addObserver:d->observer
                            forKeyPath:@"canCheckForUpdates"
                               options:NSKeyValueObservingOptionInitial | NSKeyValueObservingOptionNew
                               context:nullptr];
}

SparkleUpdater::~SparkleUpdater()
{
    [d->controller.updater removeObserver:d->observer forKeyPath:@"canCheckForUpdates"];
    d->observer.onChange = nullptr;
}

void SparkleUpdater::checkForUpdates()
{
    [d->controller checkForUpdates:nil];
}

void SparkleUpdater::setCanCheckForUpdates(bool can)
{
    if (m_canCheckForUpdates == can)
        return;
    m_canCheckForUpdates = can;
    emit canCheckForUpdatesChanged();
}
