#pragma once

#include "AppDelegate.h"
#include "BundleOptions.h"
#include "CheckForUpdatesViewModel.h"
#include "ContentView.h"
#include "Updater.h"

#include <QObject>

#include <memory>

// The application object: owns the delegate, the updater, the options and
// the one main view, and serves the menu commands. The window binds to it.
class MainApp : public QObject
{
    Q_OBJECT
    Q_PROPERTY(AppDelegate *appDelegate READ appDelegate CONSTANT)
    Q_PROPERTY(ContentView *contentView READ contentView CONSTANT)
    Q_PROPERTY(CheckForUpdatesViewModel *checkForUpdatesViewModel READ checkForUpdatesViewModel CONSTANT)
    Q_PROPERTY(QObject *updater READ updaterObject CONSTANT)
    Q_PROPERTY(bool showsUpdateResults READ showsUpdateResults CONSTANT)
    Q_PROPERTY(QString version READ version CONSTANT)
    // Where support mail goes, shown when no mail program takes the message.
    Q_PROPERTY(QString supportAddress READ supportAddress CONSTANT)

public:
    // Takes the updater to use; without one it creates the platform's own.
    // `packer` lets tests put a stand-in in place of the bundled packer.
    explicit MainApp(std::unique_ptr<Updater> updater = {}, PackerLocation packer = PackerLocation::bundled(),
                     QObject *parent = nullptr);
    ~MainApp() override;

    AppDelegate *appDelegate() const { return m_appDelegate.get(); }
    ContentView *contentView() const { return m_contentView.get(); }
    CheckForUpdatesViewModel *checkForUpdatesViewModel() const { return m_checkForUpdates.get(); }
    QObject *updaterObject() const;
    // True where the application shows the outcome of a check itself (no
    // update framework with its own dialogs).
    bool showsUpdateResults() const;
    QString version() const;
    QString supportAddress() const;

    // "Contact Support": a new message in the mail program, or, where there
    // is none, supportAddressRequested so that the window shows the address.
    Q_INVOKABLE void contactSupport();
    // The window's close button and "Close Window": where the platform keeps
    // an application running without windows (macOS) the window hides;
    // elsewhere the application quits.
    Q_INVOKABLE void closeWindow();
    // "Quit Lumbrel". While a bundle is written the user is asked first
    // (quitConfirmationRequested, then confirmQuit).
    Q_INVOKABLE void quit();
    Q_INVOKABLE void confirmQuit(bool stopBundling);

signals:
    void hideWindowRequested();
    void quitConfirmationRequested();
    void supportAddressRequested();

private:
    void takeOpenRequests();

    QList<QUrl> m_pendingOpen; // asked for while a bundle was being written
    std::unique_ptr<Updater> m_updater;
    std::unique_ptr<CheckForUpdatesViewModel> m_checkForUpdates;
    std::unique_ptr<BundleOptions> m_options;
    std::unique_ptr<AppDelegate> m_appDelegate;
    std::unique_ptr<ContentView> m_contentView;
};
