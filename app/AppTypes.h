#pragma once

// The application shell's objects as the window sees them: typed QML types
// of the module "LumbrelApp", made by the application.

#include "AppDelegate.h"
#include "CheckForUpdatesViewModel.h"
#include "MainApp.h"

#include <QtQml/qqml.h>

struct MainAppRegistration
{
    Q_GADGET
    QML_FOREIGN(MainApp)
    QML_NAMED_ELEMENT(MainApp)
    QML_UNCREATABLE("Made by the application")
};

struct AppDelegateRegistration
{
    Q_GADGET
    QML_FOREIGN(AppDelegate)
    QML_NAMED_ELEMENT(AppDelegate)
    QML_UNCREATABLE("Made by the application")
};

struct CheckForUpdatesViewModelRegistration
{
    Q_GADGET
    QML_FOREIGN(CheckForUpdatesViewModel)
    QML_NAMED_ELEMENT(CheckForUpdatesViewModel)
    QML_UNCREATABLE("Made by the application")
};
