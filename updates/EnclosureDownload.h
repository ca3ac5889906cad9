#pragma once

#include "Appcast.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>

class QNetworkAccessManager;
class QTemporaryDir;
class QNetworkReply;

// Downloads one release archive into a fresh private folder and checks its
// size and signature, off the UI thread: create it, move it to a worker
// thread, then invoke start() there. It reports progress() while the bytes
// arrive and finished() once, with the verified file or the reason there is
// none. The folder and the file in it live exactly as long as this object,
// which removes them when it is deleted (with deleteLater, from any thread).
class EnclosureDownload : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QUrl url;
        // The archive's size as the feed gives it: the download stops as
        // soon as it grows beyond, and must end at exactly this size.
        qint64 length = 0;
        QByteArray signature; // raw Ed25519 signature of the archive
        // The release as the feed describes it, and the raw signature of its
        // Appcast::releaseStatement: the archive is taken only when both
        // signatures hold, so its version and size are the signer's word.
        Appcast::Item release;
        QByteArray releaseSignature;
        QByteArray publicKey; // raw Ed25519 public key
        QString userAgent;
        std::chrono::milliseconds transferTimeout{30000};
    };

    enum class Failure {
        None,
        Network,      // detail: the transfer's error text
        TimedOut,     // the server stopped sending for transferTimeout
        WrongSize,    // larger than announced, or ended short of it
        BadSignature, // the bytes are not what the key's holder signed
        UnboundVersion, // the key's holder did not sign this version and size for these bytes
        FileSystem,   // detail: the path and what went wrong
    };
    Q_ENUM(Failure)

    explicit EnclosureDownload(Request request);
    ~EnclosureDownload() override;

    Q_INVOKABLE void start();

signals:
    void progress(qint64 received, qint64 total);
    // `file` is the verified archive when failure is None, else empty.
    void finished(EnclosureDownload::Failure failure, const QString &detail, const QString &file);

private:
    bool take(const QByteArray &chunk);
    void transferFinished();
    void stop(Failure failure, const QString &detail = {});
    void verify();
    void report(Failure failure, const QString &detail = {});

    const Request m_request;
    std::unique_ptr<QTemporaryDir> m_folder;
    QFile m_file{this}; // a child, so that it moves to the worker thread too
    qint64 m_written = 0;
    Failure m_failure = Failure::None; // why the transfer was stopped early
    QString m_detail;
    QNetworkAccessManager *m_network = nullptr;
    QNetworkReply *m_reply = nullptr;
    bool m_reported = false;
};
