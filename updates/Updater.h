#pragma once

#include <QObject>

// What the "Check for Updates…" menu item needs from an updater. On macOS an
// update framework does the work (SparkleUpdater); elsewhere AppcastUpdater
// reads our own feed. Both offer the same two operations.
class Updater : public QObject
{
    Q_OBJECT
    // True exactly when a user-started check may begin; false while one runs.
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    using QObject::QObject;
    ~Updater() override = default;

    virtual bool canCheckForUpdates() const = 0;
    Q_INVOKABLE virtual void checkForUpdates() = 0;

signals:
    void canCheckForUpdatesChanged();
};
