#pragma once

// The updater as the results dialog sees it: a typed QML type of the module
// "LumbrelUpdates", made by the application.

#include "AppcastUpdater.h"

#include <QtQml/qqml.h>

struct AppcastUpdaterRegistration
{
    Q_GADGET
    QML_FOREIGN(AppcastUpdater)
    QML_NAMED_ELEMENT(AppcastUpdater)
    QML_UNCREATABLE("Made by the application")
};
