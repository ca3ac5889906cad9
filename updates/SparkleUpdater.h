#pragma once

#include "Updater.h"

#include <memory>

// macOS: the standard updater controller of the update framework, which
// also shows its own windows. Starts the updater (and with it the scheduled
// background checks) when created. The framework takes the feed (SUFeedURL)
// and the Ed25519 public key it verifies archives with (SUPublicEDKey) from
// the bundle's Info.plist, which updates/macos/Info.plist.in fills from the
// same build settings as BuildConfig.h: LUMBREL_APPCAST_URL and
// LUMBREL_UPDATE_PUBLIC_KEY. createPlatformUpdater() only uses it when both
// are set.
class SparkleUpdater : public Updater
{
    Q_OBJECT

public:
    explicit SparkleUpdater(QObject *parent = nullptr);
    ~SparkleUpdater() override;

    bool canCheckForUpdates() const override { return m_canCheckForUpdates; }
    void checkForUpdates() override;

private:
    void setCanCheckForUpdates(bool can);

    struct Private;
    std::unique_ptr<Private> d;
    bool m_canCheckForUpdates = false;
};
