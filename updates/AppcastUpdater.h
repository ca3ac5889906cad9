#pragma once

#include "Appcast.h"
#include "Updater.h"

#include <QByteArray>
#include <QString>
#include <QThread>
#include <QUrl>

#include <chrono>
#include <functional>

class EnclosureDownload;
class QNetworkAccessManager;
class QNetworkReply;

// The updater of the Linux and Windows builds: fetches the appcast feed,
// picks its newest release and, when it is newer than the running version,
// downloads its archive and checks the archive's Ed25519 signature against
// the public key built in, together with the signature that binds the
// version and size the feed claims to those bytes (Appcast::releaseStatement),
// so that an older signed archive is never offered as a newer release.
// Only a verified archive is ever offered, as a
// local file to open or reveal; nothing is installed. A build without a feed
// tells the user that updates come from the package manager. Results are
// properties for UpdateDialogView.qml, which opens on stateChanged.
class AppcastUpdater : public Updater
{
    Q_OBJECT
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString currentVersion READ currentVersion CONSTANT)
    Q_PROPERTY(QString latestVersion READ latestVersion NOTIFY resultChanged)
    Q_PROPERTY(QString releaseNotes READ releaseNotes NOTIFY resultChanged)
    Q_PROPERTY(QUrl releaseNotesUrl READ releaseNotesUrl NOTIFY resultChanged)
    Q_PROPERTY(QString downloadedFile READ downloadedFile NOTIFY resultChanged)
    Q_PROPERTY(QString downloadedFileName READ downloadedFileName NOTIFY resultChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY resultChanged)
    Q_PROPERTY(qint64 bytesReceived READ bytesReceived NOTIFY progressChanged)
    Q_PROPERTY(qint64 bytesTotal READ bytesTotal NOTIFY progressChanged)
    Q_PROPERTY(QString revealText READ revealText CONSTANT)

public:
    // Downloading: the newest release is newer, and its archive is being
    // fetched and verified. NoFeed: the build has no feed; nothing was asked.
    enum class State { Idle, Checking, Downloading, UpToDate, UpdateAvailable, Failed, NoFeed };
    Q_ENUM(State)

    // Hands an address to the browser or a file to its application; returns
    // whether that worked.
    using UrlOpener = std::function<bool(const QUrl &)>;
    // Shows a local file selected in the file manager.
    using FileRevealer = std::function<void(const QString &)>;

    static constexpr qint64 DefaultMaximumFeedSize = 5 * 1024 * 1024;
    static constexpr qint64 DefaultMaximumArchiveSize = qint64(1) << 30;
    static constexpr std::chrono::milliseconds DefaultTransferTimeout = std::chrono::seconds(30);

    // `publicKey` is the base64 text of the raw 32-byte Ed25519 key that
    // archives must be signed with; without a valid one, no release is
    // offered. An empty `feedUrl` means the build has no feed.
    AppcastUpdater(const QUrl &feedUrl, const QByteArray &publicKey, const QString &currentVersion,
                   QObject *parent = nullptr);
    ~AppcastUpdater() override;

    // The feed and key this build was configured with.
    static QUrl defaultFeedUrl();
    static QByteArray defaultPublicKey();

    QUrl feedUrl() const { return m_feedUrl; }
    QString currentVersion() const { return m_currentVersion; }

    // Defaults to QDesktopServices::openUrl.
    void setUrlOpener(UrlOpener opener);
    // Defaults to the platform's file manager.
    void setFileRevealer(FileRevealer revealer);
    // A transfer that makes no progress for this long fails the check.
    void setTransferTimeout(std::chrono::milliseconds timeout);
    // A feed larger than this fails the check without being read further.
    void setMaximumFeedSize(qint64 bytes);
    // A release whose archive the feed declares larger than this is refused.
    void setMaximumArchiveSize(qint64 bytes);

    bool canCheckForUpdates() const override { return !isBusy(); }
    void checkForUpdates() override;
    // Stops a running check or download and returns to Idle; whatever was
    // downloaded is removed.
    Q_INVOKABLE void cancel();

    State state() const { return m_state; }
    QString latestVersion() const { return m_latestVersion; }
    QString releaseNotes() const { return m_releaseNotes; }
    QUrl releaseNotesUrl() const { return m_releaseNotesUrl; }
    // The verified archive, in a private temporary folder that lasts until
    // the next check or the end of the updater; empty unless UpdateAvailable.
    QString downloadedFile() const { return m_downloadedFile; }
    QString downloadedFileName() const;
    QString errorMessage() const { return m_errorMessage; }
    qint64 bytesReceived() const { return m_bytesReceived; }
    qint64 bytesTotal() const { return m_bytesTotal; }
    QString revealText() const;

    // Open the verified archive with its application, or show it in the file
    // manager; return whether there was one to hand over.
    Q_INVOKABLE bool openDownloadedFile();
    Q_INVOKABLE bool revealDownloadedFile();
    // Opens the release notes page in the browser; only http(s) addresses
    // are opened.
    Q_INVOKABLE bool openReleaseNotes();

signals:
    void stateChanged();
    void resultChanged();
    void progressChanged();
    // A check ended in UpToDate, UpdateAvailable, Failed or NoFeed.
    void checkFinished(AppcastUpdater::State result);

private:
    bool isBusy() const { return m_state == State::Checking || m_state == State::Downloading; }
    void readAvailable();
    void transferFinished();
    void evaluateFeed(const QByteArray &feed, const QUrl &feedUrl);
    void startDownload(const Appcast::Item &release, const QByteArray &signature, const QByteArray &releaseSignature);
    // `failure` is an EnclosureDownload::Failure other than None.
    QString downloadFailureMessage(int failure, const QString &detail) const;
    void setProgress(qint64 received, qint64 total);
    void discardFeedTransfer();
    void discardDownload();
    // Forgets what an earlier check found, its archive included.
    void clearResult();
    QString userAgent() const;
    void finish(State result);
    void fail(const QString &message);
    void setState(State state);

    const QUrl m_feedUrl;
    const QByteArray m_publicKey; // raw bytes; empty when none is usable
    const QString m_currentVersion;
    UrlOpener m_openUrl;
    FileRevealer m_reveal;
    std::chrono::milliseconds m_transferTimeout = DefaultTransferTimeout;
    qint64 m_maximumFeedSize = DefaultMaximumFeedSize;
    qint64 m_maximumArchiveSize = DefaultMaximumArchiveSize;

    QNetworkAccessManager *m_network = nullptr;
    QNetworkReply *m_reply = nullptr;
    QByteArray m_feed;
    bool m_feedTooLarge = false;

    // Downloads run on this thread; each one owns the folder it writes to
    // and is deleted there. Reports of a download that was discarded since
    // may still be queued: they carry an older number and are dropped.
    QThread m_downloadThread;
    EnclosureDownload *m_download = nullptr;
    quint64 m_downloadNumber = 0;

    State m_state = State::Idle;
    QString m_latestVersion;
    QString m_releaseNotes;
    QUrl m_releaseNotesUrl;
    QString m_downloadedFile;
    QString m_errorMessage;
    qint64 m_bytesReceived = 0;
    qint64 m_bytesTotal = 0;
};
