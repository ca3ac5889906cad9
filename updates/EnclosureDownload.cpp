#include "EnclosureDownload.h"

#include "Signature.h"

#include <QCryptographicHash>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

// The archive's name from its address, reduced to characters that are safe
// in a file name everywhere; a generic name when nothing usable is left.
QString fileNameFor(const QUrl &url)
{
    static const QRegularExpression unsafe(u"[^A-Za-z0-9._+-]"_s);
    QString name = url.fileName(QUrl::FullyDecoded);
    name.replace(unsafe, u"_"_s);
    if (name.isEmpty() || name.startsWith(u'.'))
        name.prepend(u"lumbrel-update"_s);
    return name.left(128);
}

QString fileSystemDetail(const QString &path, const QString &error)
{
    return u"%1: %2"_s.arg(QDir::toNativeSeparators(path), error);
}

} // namespace

EnclosureDownload::EnclosureDownload(Request request)
    : m_request(std::move(request))
{
}

EnclosureDownload::~EnclosureDownload()
{
    // Stop the transfer before the file and its folder go.
    if (m_reply)
        m_reply->disconnect(this);
    delete m_network;
    m_file.close();
    m_folder.reset();
}

void EnclosureDownload::start()
{
    // mkdtemp: a new folder that only this user can enter.
    m_folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + u"/lumbrel-update-XXXXXX"_s);
    if (!m_folder->isValid()) {
        report(Failure::FileSystem, fileSystemDetail(QDir::tempPath(), m_folder->errorString()));
        return;
    }
    m_file.setFileName(m_folder->filePath(fileNameFor(m_request.url)));
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::NewOnly)) {
        report(Failure::FileSystem, fileSystemDetail(m_file.fileName(), m_file.errorString()));
        return;
    }

    m_network = new QNetworkAccessManager(this);
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkRequest request(m_request.url);
    request.setTransferTimeout(int(m_request.transferTimeout.count()));
    request.setHeader(QNetworkRequest::UserAgentHeader, m_request.userAgent);
    // The signature covers the bytes as served: no transfer encoding that
    // the network layer would undo on the way.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        // Refuse an announced oversize archive before any of it arrives.
        const QVariant length = m_reply ? m_reply->header(QNetworkRequest::ContentLengthHeader) : QVariant();
        if (length.isValid() && length.toLongLong() > m_request.length)
            stop(Failure::WrongSize);
    });
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        if (m_reply && take(m_reply->readAll()))
            emit progress(m_written, m_request.length);
    });
    connect(m_reply, &QNetworkReply::finished, this, &EnclosureDownload::transferFinished);
}

bool EnclosureDownload::take(const QByteArray &chunk)
{
    if (m_failure != Failure::None)
        return false;
    if (m_written + chunk.size() > m_request.length) {
        stop(Failure::WrongSize);
        return false;
    }
    if (m_file.write(chunk) != chunk.size()) {
        stop(Failure::FileSystem, fileSystemDetail(m_file.fileName(), m_file.errorString()));
        return false;
    }
    m_written += chunk.size();
    return true;
}

void EnclosureDownload::stop(Failure failure, const QString &detail)
{
    m_failure = failure;
    m_detail = detail;
    if (m_reply)
        m_reply->abort(); // finishes the transfer, which reports the failure
}

void EnclosureDownload::transferFinished()
{
    QNetworkReply *reply = std::exchange(m_reply, nullptr);
    if (!reply)
        return;
    reply->deleteLater();

    if (m_failure != Failure::None) {
        report(m_failure, m_detail);
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        // Our own aborts are handled above: a cancelled transfer is one that
        // ran into the transfer timeout.
        const bool timedOut = reply->error() == QNetworkReply::OperationCanceledError
            || reply->error() == QNetworkReply::TimeoutError;
        report(timedOut ? Failure::TimedOut : Failure::Network, timedOut ? QString() : reply->errorString());
        return;
    }
    if (!take(reply->readAll())) {
        report(m_failure, m_detail);
        return;
    }
    emit progress(m_written, m_request.length);
    if (!m_file.flush()) {
        report(Failure::FileSystem, fileSystemDetail(m_file.fileName(), m_file.errorString()));
        return;
    }
    if (m_written != m_request.length) {
        report(Failure::WrongSize);
        return;
    }
    verify();
}

void EnclosureDownload::verify()
{
    uchar *bytes = m_file.map(0, m_written);
    if (!bytes) {
        report(Failure::FileSystem, fileSystemDetail(m_file.fileName(), m_file.errorString()));
        return;
    }
    const QByteArrayView archive(reinterpret_cast<const char *>(bytes), m_written);
    const bool valid = Signature::verify(m_request.publicKey, archive, m_request.signature);
    const bool bound = valid
        && Signature::verify(m_request.publicKey,
                             Appcast::releaseStatement(m_request.release,
                                                       QCryptographicHash::hash(archive, QCryptographicHash::Sha256)),
                             m_request.releaseSignature);
    m_file.unmap(bytes);
    m_file.close();
    report(!valid ? Failure::BadSignature : !bound ? Failure::UnboundVersion : Failure::None);
}

void EnclosureDownload::report(Failure failure, const QString &detail)
{
    if (m_reported)
        return;
    m_reported = true;
    if (failure != Failure::None) {
        // Nothing unverified is left for anyone to open.
        m_file.close();
        m_file.remove();
    }
    emit finished(failure, detail, failure == Failure::None ? m_file.fileName() : QString());
}

