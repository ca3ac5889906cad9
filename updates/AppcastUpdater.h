#pragma once

#include "Updater.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// The updater of the Linux and Windows builds: fetches the appcast feed,
// picks its newest release and tells whether it is newer than the running
// version. It never installs anything; the user downloads the new version
// from the page the feed names. Results are properties for
// UpdateDialogView.qml; checkFinished() says when to show it.
class AppcastUpdater : public Updater
{
    Q_OBJECT
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString currentVersion READ currentVersion CONSTANT)
    Q_PROPERTY(QString latestVersion READ latestVersion NOTIFY resultChanged)
    Q_PROPERTY(QString releaseNotes READ releaseNotes NOTIFY resultChanged)
    Q_PROPERTY(QUrl releaseNotesUrl READ releaseNotesUrl NOTIFY resultChanged)
    Q_PROPERTY(QUrl downloadUrl READ downloadUrl NOTIFY resultChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY resultChanged)

public:
    enum class State { Idle, Checking, UpToDate, UpdateAvailable, Failed };
    Q_ENUM(State)

    // Hands an address to the browser; returns whether that worked.
    using UrlOpener = std::function<bool(const QUrl &)>;

    static constexpr qint64 DefaultMaximumFeedSize = 5 * 1024 * 1024;
    static constexpr std::chrono::milliseconds DefaultTransferTimeout = std::chrono::seconds(30);

    AppcastUpdater(const QUrl &feedUrl, const QString &currentVersion, QObject *parent = nullptr);
    ~AppcastUpdater() override;

    // The feed address this build was configured with.
    static QUrl defaultFeedUrl();

    QUrl feedUrl() const { return m_feedUrl; }
    QString currentVersion() const { return m_currentVersion; }

    // Defaults to QDesktopServices::openUrl.
    void setUrlOpener(UrlOpener opener);
    // A transfer that makes no progress for this long fails the check.
    void setTransferTimeout(std::chrono::milliseconds timeout);
    // A feed larger than this fails the check without being read further.
    void setMaximumFeedSize(qint64 bytes);

    bool canCheckForUpdates() const override { return m_state != State::Checking; }
    void checkForUpdates() override;

    State state() const { return m_state; }
    QString latestVersion() const { return m_latestVersion; }
    QString releaseNotes() const { return m_releaseNotes; }
    QUrl releaseNotesUrl() const { return m_releaseNotesUrl; }
    QUrl downloadUrl() const { return m_downloadUrl; }
    QString errorMessage() const { return m_errorMessage; }

    // Open the download page or the release notes of the newer version in
    // the browser. Only http(s) addresses are opened; returns whether one was.
    Q_INVOKABLE bool openDownloadPage();
    Q_INVOKABLE bool openReleaseNotes();

signals:
    void stateChanged();
    void resultChanged();
    // A check ended in UpToDate, UpdateAvailable or Failed.
    void checkFinished(AppcastUpdater::State result);

private:
    void readAvailable();
    void transferFinished();
    void evaluateFeed(const QByteArray &feed, const QUrl &feedUrl);
    void finish(State result);
    void fail(const QString &message);
    void setState(State state);
    bool openWebUrl(const QUrl &url) const;

    const QUrl m_feedUrl;
    const QString m_currentVersion;
    UrlOpener m_openUrl;
    std::chrono::milliseconds m_transferTimeout = DefaultTransferTimeout;
    qint64 m_maximumFeedSize = DefaultMaximumFeedSize;

    QNetworkAccessManager *m_network = nullptr;
    QNetworkReply *m_reply = nullptr;
    QByteArray m_feed;
    bool m_feedTooLarge = false;

    State m_state = State::Idle;
    QString m_latestVersion;
    QString m_releaseNotes;
    QUrl m_releaseNotesUrl;
    QUrl m_downloadUrl;
    QString m_errorMessage;
};
