#include "CheckForUpdatesViewModel.h"

#include "Updater.h"

CheckForUpdatesViewModel::CheckForUpdatesViewModel(Updater *updater, QObject *parent)
    : QObject(parent)
    , m_updater(updater)
{
    if (!updater)
        return;
    // Subscribe before the first read so no change can slip in between.
    // Both connections use this model as context and end with it.
    connect(updater, &Updater::canCheckForUpdatesChanged, this, [this] {
        if (m_updater)
            setCanCheckForUpdates(m_updater->canCheckForUpdates());
    });
    connect(updater, &QObject::destroyed, this, [this] { setCanCheckForUpdates(false); });
    setCanCheckForUpdates(updater->canCheckForUpdates());
}

void CheckForUpdatesViewModel::checkForUpdates()
{
    if (m_updater)
        m_updater->checkForUpdates();
}

void CheckForUpdatesViewModel::setCanCheckForUpdates(bool can)
{
    if (m_canCheckForUpdates == can)
        return;
    m_canCheckForUpdates = can;
    emit canCheckForUpdatesChanged();
}
