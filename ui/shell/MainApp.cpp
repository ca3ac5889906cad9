#include "MainApp.h"

#include "AppDelegate.h"
#include "AppcastUpdater.h"
#include "BundleOptions.h"
#include "CheckForUpdatesViewModel.h"
#include "Desktop.h"
#include "ContentView.h"
#include "PlatformUpdater.h"
#include "SupportRequest.h"

#include <QCoreApplication>

MainApp::MainApp(std::unique_ptr<Updater> updater, QObject *parent)
    : QObject(parent)
    , m_updater(updater ? std::move(updater) : createPlatformUpdater(this))
    , m_checkForUpdates(std::make_unique<CheckForUpdatesViewModel>(m_updater.get()))
    , m_options(std::make_unique<BundleOptions>())
    , m_appDelegate(std::make_unique<AppDelegate>())
    , m_contentView(std::make_unique<ContentView>(m_options.get()))
{
    // Files the system asks us to open join the list the way a drop does.
    connect(m_appDelegate.get(), &AppDelegate::openRequested, m_contentView.get(),
            [view = m_contentView.get()](const QList<QUrl> &urls) {
                if (!view->isProcessing() && view->outputFile().isEmpty())
                    view->handleDrop(urls);
            });
}

MainApp::~MainApp() = default;

QObject *MainApp::updaterObject() const
{
    return m_updater.get();
}

bool MainApp::showsUpdateResults() const
{
    return qobject_cast<AppcastUpdater *>(m_updater.get()) != nullptr;
}

QString MainApp::version() const
{
    return QCoreApplication::applicationVersion();
}

void MainApp::contactSupport()
{
    SupportRequest::contactSupport();
}

void MainApp::windowClosed()
{
    platform::hideApplication();
}
