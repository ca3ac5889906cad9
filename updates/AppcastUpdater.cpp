#include "AppcastUpdater.h"

#include "Appcast.h"
#include "BuildConfig.h"

#include <QDesktopServices>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <utility>


AppcastUpdater::AppcastUpdater(const QUrl &feedUrl, const QString &currentVersion, QObject *parent)
    : Updater(parent)
    , m_feedUrl(feedUrl)
    , m_currentVersion(currentVersion)
    , m_openUrl([](const QUrl &url) { return QDesktopServices::openUrl(url); })
    , m_network(new QNetworkAccessManager(this))
{
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

AppcastUpdater::~AppcastUpdater()
{
    // No results are announced from a half-destroyed updater.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

QUrl AppcastUpdater::defaultFeedUrl()
{
    return QUrl(QString::fromUtf8(buildconfig::appcastUrl));
}

void AppcastUpdater::setUrlOpener(UrlOpener opener)
{
    m_openUrl = std::move(opener);
}

void AppcastUpdater::setTransferTimeout(std::chrono::milliseconds timeout)
{
    m_transferTimeout = timeout;
}

void AppcastUpdater::setMaximumFeedSize(qint64 bytes)
{
    m_maximumFeedSize = bytes;
}

void AppcastUpdater::checkForUpdates()
{
    if (m_state == State::Checking)
        return;

    m_latestVersion.clear();
    m_releaseNotes.clear();
    m_releaseNotesUrl.clear();
    m_downloadUrl.clear();
    m_errorMessage.clear();
    emit resultChanged();
    setState(State::Checking);

    if (!Appcast::isWebUrl(m_feedUrl)) {
        // Reported like any other failure: after the check has begun.
        QMetaObject::invokeMethod(
            this, [this] { fail(tr("Could not check for updates: the update feed address is not valid.")); },
            Qt::QueuedConnection);
        return;
    }

    QNetworkRequest request(m_feedUrl);
    request.setTransferTimeout(int(m_transferTimeout.count()));
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Lumbrel/%1").arg(m_currentVersion));
    request.setRawHeader("Accept", "application/rss+xml, application/xml;q=0.9, text/xml;q=0.9, */*;q=0.1");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);

    m_feed.clear();
    m_feedTooLarge = false;
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        // Refuse an announced oversize body before any of it arrives.
        const QVariant length = m_reply ? m_reply->header(QNetworkRequest::ContentLengthHeader) : QVariant();
        if (length.isValid() && length.toLongLong() > m_maximumFeedSize) {
            m_feedTooLarge = true;
            m_reply->abort();
        }
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &AppcastUpdater::readAvailable);
    connect(m_reply, &QNetworkReply::finished, this, &AppcastUpdater::transferFinished);
}

void AppcastUpdater::readAvailable()
{
    if (!m_reply)
        return;
    if (m_feed.size() + m_reply->bytesAvailable() > m_maximumFeedSize) {
        m_feedTooLarge = true;
        m_reply->abort(); // finishes the transfer; nothing more to do here
        return;
    }
    m_feed += m_reply->readAll();
}

void AppcastUpdater::transferFinished()
{
    QNetworkReply *reply = std::exchange(m_reply, nullptr);
    if (!reply)
        return;
    reply->deleteLater();
    QByteArray feed = std::exchange(m_feed, {});

    if (std::exchange(m_feedTooLarge, false)) {
        fail(tr("The update feed could not be read."));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        // The only abort of ours is for size, handled above: a cancelled
        // transfer is one that ran into the transfer timeout.
        const bool timedOut = reply->error() == QNetworkReply::OperationCanceledError
            || reply->error() == QNetworkReply::TimeoutError;
        const QString reason = timedOut ? tr("the server did not respond in time.") : reply->errorString();
        fail(tr("Could not check for updates: %1").arg(reason));
        return;
    }
    feed += reply->readAll();
    if (feed.size() > m_maximumFeedSize) {
        fail(tr("The update feed could not be read."));
        return;
    }
    evaluateFeed(feed, reply->url());
}

void AppcastUpdater::evaluateFeed(const QByteArray &feed, const QUrl &feedUrl)
{
    const std::optional<QList<Appcast::Item>> items = Appcast::parse(feed, feedUrl);
    const std::optional<Appcast::Item> newest = items ? Appcast::newestItem(*items) : std::nullopt;
    if (!newest) {
        fail(tr("The update feed could not be read."));
        return;
    }

    // A build without a readable version of its own is older than any release.
    const QVersionNumber current = Appcast::parseVersion(m_currentVersion).value_or(QVersionNumber());
    m_latestVersion = newest->displayVersion();
    if (*Appcast::versionOf(*newest) > current) {
        m_releaseNotes = newest->releaseNotes;
        if (Appcast::isWebUrl(newest->releaseNotesUrl))
            m_releaseNotesUrl = newest->releaseNotesUrl;
        m_downloadUrl = newest->downloadUrl();
        finish(State::UpdateAvailable);
    } else {
        finish(State::UpToDate);
    }
}

void AppcastUpdater::finish(State result)
{
    emit resultChanged();
    setState(result);
    emit checkFinished(result);
}

void AppcastUpdater::fail(const QString &message)
{
    m_errorMessage = message;
    finish(State::Failed);
}

void AppcastUpdater::setState(State state)
{
    if (m_state == state)
        return;
    const bool couldCheck = canCheckForUpdates();
    m_state = state;
    emit stateChanged();
    if (canCheckForUpdates() != couldCheck)
        emit canCheckForUpdatesChanged();
}

bool AppcastUpdater::openDownloadPage()
{
    return openWebUrl(m_downloadUrl);
}

bool AppcastUpdater::openReleaseNotes()
{
    return openWebUrl(m_releaseNotesUrl);
}

bool AppcastUpdater::openWebUrl(const QUrl &url) const
{
    if (!Appcast::isWebUrl(url) || !m_openUrl)
        return false;
    return m_openUrl(url);
}
