#include "SingleInstance.h"

#include "PrivateArea.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace {
constexpr int connectMilliseconds = 1000;
constexpr qint64 maximumRequest = 16 * 1024 * 1024;
} // namespace

SingleInstance::SingleInstance(QString name, QObject *parent)
    : QObject(parent)
    , m_name(std::move(name))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("lumbrel-") + qEnvironmentVariable("USERNAME");
#else
    const Result<QString> directory = PrivateArea::instanceDirectory();
    return directory ? QDir(directory.value()).filePath(QStringLiteral("instance")) : QString();
#endif
}

bool SingleInstance::forwardToRunning(const QList<QUrl> &urls) const
{
    if (m_name.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(connectMilliseconds))
        return false;
    QByteArray request;
    for (const QUrl &url : urls)
        request += url.toEncoded() + '\n';
    request += '\n'; // end of request
    socket.write(request);
    // The running copy closes the connection once it has the whole request.
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(connectMilliseconds)) {
    }
    return socket.waitForDisconnected(connectMilliseconds) || socket.state() == QLocalSocket::UnconnectedState;
}

bool SingleInstance::listen()
{
    if (m_name.isEmpty())
        return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // A copy that crashed leaves its socket behind; nobody answered on it.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::readRequest);
    return true;
}

void SingleInstance::readRequest()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > maximumRequest) {
                socket->abort();
                return;
            }
            const QByteArray data = socket->peek(socket->bytesAvailable());
            if (!data.endsWith("\n\n") && data != "\n")
                return; // wait for the rest
            socket->readAll();
            QList<QUrl> urls;
            for (const QByteArray &line : data.split('\n')) {
                const QUrl url = QUrl::fromEncoded(line, QUrl::StrictMode);
                if (!line.isEmpty() && url.isLocalFile())
                    urls << url;
            }
            socket->disconnectFromServer();
            emit activated(urls);
        });
    }
}
