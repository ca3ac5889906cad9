#pragma once

#include <QObject>
#include <QPointer>

class Updater;

// Backs the "Check for Updates…" menu item. The item is enabled when its
// parent is and canCheckForUpdates is true; it has no keyboard shortcut.
class CheckForUpdatesViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    // Takes the updater's current value at once and follows it from then on.
    // The updater is not owned; if it goes away first, the item turns off.
    explicit CheckForUpdatesViewModel(Updater *updater, QObject *parent = nullptr);

    bool canCheckForUpdates() const { return m_canCheckForUpdates; }

    // Starts one check on the updater.
    Q_INVOKABLE void checkForUpdates();

signals:
    void canCheckForUpdatesChanged();

private:
    void setCanCheckForUpdates(bool can);

    QPointer<Updater> m_updater;
    bool m_canCheckForUpdates = false;
};
