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
#include <QPointer>

MainApp::MainApp(std::unique_ptr<Updater> updater, PackerLocation packer, QObject *parent)
    : QObject(parent)
    , m_updater(updater ? std::move(updater) : createPlatformUpdater(this))
    , m_checkForUpdates(std::make_unique<CheckForUpdatesViewModel>(m_updater.get()))
    , m_options(std::make_unique<BundleOptions>())
    , m_appDelegate(std::make_unique<AppDelegate>())
    , m_contentView(std::make_unique<ContentView>(m_options.get(), std::move(packer)))
{
    // Files the system asks us to open join the list the way a drop does;
    // while a bundle is written they wait, and the completion screen makes
    // way for the list.
    connect(m_appDelegate.get(), &AppDelegate::openRequested, this, [this](const QList<QUrl> &urls) {
        m_pendingOpen += urls;
        takeOpenRequests();
    });
    connect(m_contentView->job(), &BundleJob::screenChanged, this, &MainApp::takeOpenRequests);
    platform::watchApplicationEvents(
        this, [delegate = m_appDelegate.get()](const QList<QUrl> &urls) { delegate->openUrls(urls); },
        [delegate = m_appDelegate.get()] { emit delegate->activateRequested(); });
}

void MainApp::takeOpenRequests()
{
    if (m_pendingOpen.isEmpty())
        return;
    if (m_contentView->job()->screen() == BundleJob::Screen::Completed)
        m_contentView->backToList();
    if (m_contentView->job()->screen() == BundleJob::Screen::Normal)
        m_contentView->handleDrop(std::exchange(m_pendingOpen, {}));
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

QString MainApp::supportAddress() const
{
    return SupportRequest::address();
}

void MainApp::contactSupport()
{
    SupportRequest::contactSupport([self = QPointer<MainApp>(this)](bool opened) {
        if (self && !opened)
            emit self->supportAddressRequested();
    });
}

void MainApp::closeWindow()
{
    if (!platform::closeHidesApplication()) {
        quit();
        return;
    }
    emit hideWindowRequested();
    platform::hideApplication();
}

void MainApp::quit()
{
    if (m_contentView->isProcessing()) {
        emit quitConfirmationRequested();
        return;
    }
    // Not QCoreApplication::quit(), which would ask the window to close first.
    QCoreApplication::exit(0);
}

void MainApp::confirmQuit(bool stopBundling)
{
    if (!stopBundling)
        return;
    m_contentView->job()->cancel();
    QCoreApplication::exit(0);
}
