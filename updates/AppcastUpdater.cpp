#include "AppcastUpdater.h"

#include "Appcast.h"
#include "BuildConfig.h"
#include "Desktop.h"
#include "EnclosureDownload.h"
#include "Signature.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <utility>

using Failure = EnclosureDownload::Failure;

AppcastUpdater::AppcastUpdater(const QUrl &feedUrl, const QByteArray &publicKey, const QString &currentVersion,
                               QObject *parent)
    : Updater(parent)
    , m_feedUrl(feedUrl)
    , m_publicKey(Signature::decodeBase64(publicKey, Signature::PublicKeySize).value_or(QByteArray()))
    , m_currentVersion(currentVersion)
    , m_openUrl([](const QUrl &url) { return QDesktopServices::openUrl(url); })
    , m_reveal([](const QString &path) { platform::revealInFileManager(path); })
    , m_network(new QNetworkAccessManager(this))
{
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    m_downloadThread.setObjectName(QStringLiteral("Update download"));
}

AppcastUpdater::~AppcastUpdater()
{
    // No results are announced from a half-destroyed updater. The download
    // and its folder are deleted on their thread before it ends.
    discardFeedTransfer();
    discardDownload();
    m_downloadThread.quit();
    m_downloadThread.wait();
}

QUrl AppcastUpdater::defaultFeedUrl()
{
    return QUrl(QString::fromUtf8(buildconfig::appcastUrl));
}

QByteArray AppcastUpdater::defaultPublicKey()
{
    return QByteArray(buildconfig::updatePublicKey);
}

void AppcastUpdater::setUrlOpener(UrlOpener opener)
{
    m_openUrl = std::move(opener);
}

void AppcastUpdater::setFileRevealer(FileRevealer revealer)
{
    m_reveal = std::move(revealer);
}

void AppcastUpdater::setTransferTimeout(std::chrono::milliseconds timeout)
{
    m_transferTimeout = timeout;
}

void AppcastUpdater::setMaximumFeedSize(qint64 bytes)
{
    m_maximumFeedSize = bytes;
}

void AppcastUpdater::setMaximumArchiveSize(qint64 bytes)
{
    m_maximumArchiveSize = bytes;
}

void AppcastUpdater::checkForUpdates()
{
    if (isBusy())
        return;

    clearResult();
    setState(State::Checking);

    // Both outcomes are reported like any other: after the check has begun,
    // so that every check changes the state and shows the dialog.
    if (m_feedUrl.isEmpty()) {
        QMetaObject::invokeMethod(this, [this] { finish(State::NoFeed); }, Qt::QueuedConnection);
        return;
    }
    if (!Appcast::isWebUrl(m_feedUrl)) {
        QMetaObject::invokeMethod(
            this, [this] { fail(tr("Could not check for updates: the update feed address is not valid.")); },
            Qt::QueuedConnection);
        return;
    }

    QNetworkRequest request(m_feedUrl);
    request.setTransferTimeout(int(m_transferTimeout.count()));
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
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

void AppcastUpdater::cancel()
{
    if (!isBusy())
        return;
    discardFeedTransfer();
    clearResult();
    setState(State::Idle);
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
        // The only abort of ours that reaches here is for size, handled
        // above (cancel() disconnects first): a cancelled transfer is one
        // that ran into the transfer timeout.
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
    if (!(*Appcast::versionOf(*newest) > current)) {
        finish(State::UpToDate);
        return;
    }

    // Nothing about a newer release is offered before its archive has been
    // checked against the key built in; what cannot be checked is refused
    // before a byte of it is fetched.
    const auto refuse = [this](const QString &reason) {
        fail(tr("Lumbrel %1 was not offered: %2").arg(m_latestVersion, reason));
    };
    if (m_publicKey.isEmpty())
        return refuse(tr("this copy of Lumbrel was built without the key that verifies updates."));
    if (!Appcast::isWebUrl(newest->enclosureUrl))
        return refuse(tr("the update feed names no download for this system."));
    if (newest->enclosureSignature.isEmpty())
        return refuse(tr("the update feed gives no signature for its download."));
    const std::optional<QByteArray> signature =
        Signature::decodeBase64(newest->enclosureSignature.toLatin1(), Signature::SignatureSize);
    if (!signature)
        return refuse(tr("its download does not match its signature."));
    if (newest->enclosureLength <= 0)
        return refuse(tr("the update feed gives no size for its download."));
    const std::optional<QByteArray> releaseSignature =
        Signature::decodeBase64(newest->releaseSignature.toLatin1(), Signature::SignatureSize);
    if (!releaseSignature)
        return refuse(tr("the update feed does not sign the version and size of its download."));
    if (newest->enclosureLength > m_maximumArchiveSize)
        return refuse(tr("its download is larger than Lumbrel accepts."));

    m_releaseNotes = newest->releaseNotes;
    if (Appcast::isWebUrl(newest->releaseNotesUrl))
        m_releaseNotesUrl = newest->releaseNotesUrl;
    emit resultChanged();
    startDownload(*newest, *signature, *releaseSignature);
}

void AppcastUpdater::startDownload(const Appcast::Item &release, const QByteArray &signature,
                                   const QByteArray &releaseSignature)
{
    const qint64 length = release.enclosureLength;
    if (!m_downloadThread.isRunning())
        m_downloadThread.start();

    EnclosureDownload::Request request;
    request.url = release.enclosureUrl;
    request.length = length;
    request.signature = signature;
    request.release = release;
    request.releaseSignature = releaseSignature;
    request.publicKey = m_publicKey;
    request.userAgent = userAgent();
    request.transferTimeout = m_transferTimeout;
    m_download = new EnclosureDownload(std::move(request));
    m_download->moveToThread(&m_downloadThread);
    const quint64 number = ++m_downloadNumber;

    connect(m_download, &EnclosureDownload::progress, this, [this, number](qint64 received, qint64 total) {
        if (number == m_downloadNumber && m_state == State::Downloading)
            setProgress(received, total);
    });
    connect(m_download, &EnclosureDownload::finished, this,
            [this, number](Failure failure, const QString &detail, const QString &file) {
                if (number != m_downloadNumber || m_state != State::Downloading)
                    return;
                if (failure == Failure::None) {
                    m_downloadedFile = file;
                    finish(State::UpdateAvailable);
                    return;
                }
                // Whatever was written goes with the download, before anyone hears of the failure.
                discardDownload();
                fail(downloadFailureMessage(int(failure), detail));
            });

    setProgress(0, length);
    setState(State::Downloading);
    QMetaObject::invokeMethod(m_download, &EnclosureDownload::start, Qt::QueuedConnection);
}

QString AppcastUpdater::downloadFailureMessage(int failure, const QString &detail) const
{
    switch (Failure(failure)) {
    case Failure::None:
        break;
    case Failure::Network:
        return tr("Could not download Lumbrel %1: %2").arg(m_latestVersion, detail);
    case Failure::TimedOut:
        return tr("Could not download Lumbrel %1: the server did not respond in time.").arg(m_latestVersion);
    case Failure::WrongSize:
        return tr("Lumbrel %1 was not offered: its download is not the size the update feed gives.")
            .arg(m_latestVersion);
    case Failure::BadSignature:
        return tr("Lumbrel %1 was not offered: its download does not match its signature.").arg(m_latestVersion);
    case Failure::UnboundVersion:
        return tr("Lumbrel %1 was not offered: its download was not signed as this version.").arg(m_latestVersion);
    case Failure::FileSystem:
        return tr("Could not save the download of Lumbrel %1 in %2").arg(m_latestVersion, detail);
    }
    return {};
}

void AppcastUpdater::setProgress(qint64 received, qint64 total)
{
    if (m_bytesReceived == received && m_bytesTotal == total)
        return;
    m_bytesReceived = received;
    m_bytesTotal = total;
    emit progressChanged();
}

void AppcastUpdater::discardFeedTransfer()
{
    if (QNetworkReply *reply = std::exchange(m_reply, nullptr)) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_feed.clear();
    m_feedTooLarge = false;
}

void AppcastUpdater::discardDownload()
{
    // Deleted on its own thread, which stops the transfer and removes the
    // folder with everything in it.
    if (EnclosureDownload *download = std::exchange(m_download, nullptr)) {
        download->disconnect(this);
        download->deleteLater();
    }
    ++m_downloadNumber;
    m_downloadedFile.clear();
}

void AppcastUpdater::clearResult()
{
    discardDownload(); // with the archive of an earlier check
    m_latestVersion.clear();
    m_releaseNotes.clear();
    m_releaseNotesUrl.clear();
    m_errorMessage.clear();
    emit resultChanged();
    setProgress(0, 0);
}

QString AppcastUpdater::userAgent() const
{
    return QStringLiteral("Lumbrel/%1").arg(m_currentVersion);
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
    m_releaseNotes.clear();
    m_releaseNotesUrl.clear();
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

QString AppcastUpdater::downloadedFileName() const
{
    return QFileInfo(m_downloadedFile).fileName();
}

QString AppcastUpdater::revealText() const
{
    return platform::revealActionText();
}

bool AppcastUpdater::openDownloadedFile()
{
    if (m_downloadedFile.isEmpty() || !m_openUrl)
        return false;
    return m_openUrl(QUrl::fromLocalFile(m_downloadedFile));
}

bool AppcastUpdater::revealDownloadedFile()
{
    if (m_downloadedFile.isEmpty() || !m_reveal)
        return false;
    m_reveal(m_downloadedFile);
    return true;
}

bool AppcastUpdater::openReleaseNotes()
{
    if (!Appcast::isWebUrl(m_releaseNotesUrl) || !m_openUrl)
        return false;
    return m_openUrl(m_releaseNotesUrl);
}
