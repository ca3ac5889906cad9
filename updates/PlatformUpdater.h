#pragma once

#include "Updater.h"

#include <memory>

// The updater of this platform: the update framework on macOS when the build
// has a feed and a public key, an AppcastUpdater on the build's feed and key
// everywhere else (qobject_cast the result to AppcastUpdater to find out
// whether the app has to show the results itself, with
// UpdateDialogView.qml).
//
// The returned pointer is the only owner. `parent` is not made the QObject
// parent, since a parent deleting the updater would leave the pointer
// dangling; the updater is created in the parent's thread.
std::unique_ptr<Updater> createPlatformUpdater(QObject *parent = nullptr);
