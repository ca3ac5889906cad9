#include "Appcast.h"
#include "AppcastUpdater.h"
#include "CheckForUpdatesViewModel.h"
#include "TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QMetaEnum>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LumbrelUpdatesPlugin)
#include <QTest>

#include <openssl/evp.h>

#include <memory>

using namespace Qt::StringLiterals;
using State = AppcastUpdater::State;

namespace {

// Answers requests on 127.0.0.1 by path; unknown paths get 404. A route with
// status 0 takes requests and never answers.
struct FeedServer : QTcpServer
{
    struct Response
    {
        int status = 200;
        QByteArray body;
        bool sendLength = true;
    };
    QHash<QByteArray, Response> routes;
    QHash<QByteArray, int> requests;

    FeedServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n"))
                        return;
                    const QByteArray path = socket->readAll().split(' ').value(1);
                    ++requests[path];
                    const Response response = routes.value(path, {404, {}, true});
                    if (response.status == 0)
                        return;
                    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status)
                        + " Answer\r\nConnection: close\r\n";
                    if (response.sendLength)
                        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
                    socket->write(head + "\r\n" + response.body);
                    socket->disconnectFromHost();
                });
        });
    }
    QUrl url() const { return QUrl(u"http://127.0.0.1:%1/appcast.xml"_s.arg(serverPort())); }
};

QByteArray feed(const QByteArray &items)
{
    return "<?xml version=\"1.0\"?><rss version=\"2.0\" xmlns:r=\"https://lumbrel.app/xml-namespaces/release\">"
           "<channel><title>Lumbrel</title>" + items + "</channel></rss>";
}

// An Ed25519 key pair made for one test run.
class SigningKey
{
public:
    SigningKey() : m_key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), &EVP_PKEY_free) {}

    QByteArray publicKey() const
    {
        QByteArray raw(32, '\0');
        size_t size = size_t(raw.size());
        if (!m_key || EVP_PKEY_get_raw_public_key(m_key.get(), reinterpret_cast<unsigned char *>(raw.data()), &size) != 1)
            return {};
        return raw.toBase64();
    }

    QByteArray sign(const QByteArray &data) const
    {
        QByteArray signature(64, '\0');
        size_t size = size_t(signature.size());
        const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
        if (EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) != 1
            || EVP_DigestSign(context.get(), reinterpret_cast<unsigned char *>(signature.data()), &size,
                              reinterpret_cast<const unsigned char *>(data.constData()), size_t(data.size()))
                != 1)
            return {};
        return signature.toBase64();
    }

private:
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> m_key;
};

// What a release's signer signs besides the archive, spelled out as the
// release instructions give it.
QByteArray releaseStatement(const QByteArray &version, const QByteArray &shortVersion, const QByteArray &archive)
{
    return "Lumbrel release\nversion: " + version + "\nshortVersionString: " + shortVersion + "\nlength: "
        + QByteArray::number(archive.size()) + "\nsha256: "
        + QCryptographicHash::hash(archive, QCryptographicHash::Sha256).toHex() + "\n";
}

// The folders downloads were written to, in the test's private temporary folder.
QStringList downloadFolders()
{
    return QDir(QDir::tempPath()).entryList({u"lumbrel-update-*"_s}, QDir::Dirs | QDir::Hidden);
}

} // namespace

class TestUpdates : public QObject
{
    Q_OBJECT

    PrivateTemp m_temp; // so that leftovers can be counted
    SigningKey m_key;
    SigningKey m_otherKey;

private slots:
    void initTestCase() { QVERIFY(!m_key.publicKey().isEmpty() && !m_key.sign("x").isEmpty()); }

    void versionComparison_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("shortVersion");
        QTest::addColumn<bool>("newer");

        QTest::newRow("numeric, not textual") << "1.9" << "1.10" << "" << true;
        QTest::newRow("leading v") << "1.0" << "v1.1" << "" << true;
        QTest::newRow("suffix ignored") << "1.3" << "1.3-beta2" << "" << false;
        QTest::newRow("falls back to short") << "1.0" << "" << "1.1" << true;
        QTest::newRow("version beats short") << "1.0" << "1.0" << "2.0" << false;
        QTest::newRow("own version unknown") << "" << "0.1" << "" << true;
    }

    void versionComparison()
    {
        QFETCH(QString, current);
        QFETCH(QString, version);
        QFETCH(QString, shortVersion);
        QFETCH(bool, newer);
        const auto offered = Appcast::versionOf({.version = version, .shortVersionString = shortVersion});
        QVERIFY(offered);
        QCOMPARE(*offered > Appcast::parseVersion(current).value_or(QVersionNumber()), newer);
    }

    void check_data()
    {
        // The running version is 1.2. `message` is the release notes, or the
        // start of the error.
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("sendLength");
        QTest::addColumn<State>("result");
        QTest::addColumn<QString>("latest");
        QTest::addColumn<QString>("message");
        const QString unreadable = u"The update feed could not be read."_s;
        const QByteArray huge = feed(QByteArray(4096, ' '));
        const QByteArray archive = "release 1.3";
        const QByteArray enclosure = "<enclosure url=\"/lumbrel-1.3.deb\" length=\"11\" r:edSignature=\""
            + m_key.sign(archive) + "\" r:releaseSignature=\"" + m_key.sign(releaseStatement("1.3.0", "1.3", archive))
            + "\"/>";

        QTest::newRow("newer, newest last")
            << feed("<item><r:version>1.0</r:version></item><item>"
                    "<r:version>1.3.0</r:version><r:shortVersionString>1.3</r:shortVersionString>" + enclosure
                    + "<description><![CDATA[<h2>What&#39;s new</h2><ul><li>Faster&nbsp;bundling</li></ul>"
                      "<script>alert(1)</script>]]></description></item>")
            << 200 << true << State::UpdateAvailable << "1.3" << u"What's new\n• Faster bundling"_s;
        QTest::newRow("same; beta channel and versionless items skipped")
            << feed("<item><r:version>9</r:version><r:channel>beta</r:channel></item><item><title>x</title></item>"
                    "<item><r:version>1.2.0</r:version><r:shortVersionString>1.2</r:shortVersionString></item>")
            << 200 << true << State::UpToDate << "1.2" << "";
        QTest::newRow("file: package refused")
            << feed("<item><enclosure url=\"file:///usr/bin/xterm\" r:version=\"2.0\" length=\"11\" r:edSignature=\""
                    + m_key.sign(archive) + "\"/></item>")
            << 200 << true << State::Failed << "2.0"
            << u"Lumbrel 2.0 was not offered: the update feed names no download for this system."_s;
        QTest::newRow("not XML") << QByteArray("<html><body>Sign in to the Wi-Fi") << 200 << true << State::Failed
                                 << "" << unreadable;
        QTest::newRow("no answer") << QByteArray() << 0 << true << State::Failed << ""
                                   << u"Could not check for updates: the server did not respond in time."_s;
        QTest::newRow("not found") << QByteArray() << 404 << true << State::Failed << ""
                                   << u"Could not check for updates: "_s;
        QTest::newRow("too large, announced") << huge << 200 << true << State::Failed << "" << unreadable;
        QTest::newRow("too large, streamed") << huge << 200 << false << State::Failed << "" << unreadable;
    }

    void check()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(bool, sendLength);
        QFETCH(State, result);
        QFETCH(QString, latest);
        QFETCH(QString, message);
        FeedServer server;
        server.routes["/appcast.xml"] = {status, body, sendLength};
        server.routes["/lumbrel-1.3.deb"] = {200, "release 1.3", true};
        AppcastUpdater updater(server.url(), m_key.publicKey(), u"1.2"_s);
        updater.setMaximumFeedSize(2048);
        updater.setTransferTimeout(std::chrono::milliseconds(status == 0 ? 200 : 30000));
        QSignalSpy finished(&updater, &AppcastUpdater::checkFinished);
        updater.checkForUpdates();
        QVERIFY(finished.wait());

        QCOMPARE(finished.first().first().value<State>(), result);
        QCOMPARE(updater.latestVersion(), latest);
        if (result == State::Failed)
            QVERIFY2(updater.errorMessage().startsWith(message), qPrintable(updater.errorMessage()));
        else
            QCOMPARE(updater.releaseNotes(), message);
    }

    void download_data()
    {
        // The feed offers 1.3 to 1.2. Every row but the first is refused:
        // `message` is the end of the error; `fetched` whether the archive
        // was asked for at all.
        QTest::addColumn<QByteArray>("served");      // the archive as served
        QTest::addColumn<QByteArray>("signature");   // edSignature, none when empty
        QTest::addColumn<QByteArray>("releaseSignature"); // releaseSignature, none when empty
        QTest::addColumn<qint64>("length");          // the declared length; none when 0
        QTest::addColumn<bool>("sendLength");        // whether the server announces its size
        QTest::addColumn<QByteArray>("publicKey");   // the key built in
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("fetched");

        QByteArray archive;
        for (int i = 0; archive.size() < 300'000; ++i)
            archive += "Lumbrel 1.3 package, block " + QByteArray::number(i) + '\n';
        const qint64 size = archive.size();
        QByteArray changed = archive;
        changed[size / 2] = char(changed[size / 2] ^ 1);
        const QByteArray key = m_key.publicKey();
        const QByteArray signature = m_key.sign(archive);
        const QString badSignature = u"its download does not match its signature."_s;
        const QString wrongSize = u"its download is not the size the update feed gives."_s;
        const QByteArray bound = m_key.sign(releaseStatement("1.3", "", archive));
        const QString unbound = u"its download was not signed as this version."_s;

        QTest::newRow("signed") << archive << signature << bound << size << true << key << "" << true;
        QTest::newRow("signed by another key")
            << archive << m_otherKey.sign(archive) << bound << size << true << key << badSignature << true;
        QTest::newRow("one byte changed") << changed << signature << bound << size << true << key << badSignature << true;
        QTest::newRow("unsigned") << archive << QByteArray() << bound << size << true << key
                                  << "the update feed gives no signature for its download." << false;
        QTest::newRow("signature not base64") << archive << QByteArray("not*base64") << bound << size << true << key << badSignature
                                              << false;
        QTest::newRow("no key built in") << archive << signature << bound << size << true << QByteArray()
                                         << "built without the key that verifies updates." << false;
        QTest::newRow("key built in is not a key")
            << archive << signature << bound << size << true << key.left(40) << "built without the key that verifies updates."
            << false;
        QTest::newRow("no length") << archive << signature << bound << qint64(0) << true << key
                                   << "the update feed gives no size for its download." << false;
        QTest::newRow("longer than declared, announced")
            << archive << signature << bound << size - 1 << true << key << wrongSize << true;
        QTest::newRow("longer than declared, streamed")
            << archive << signature << bound << size - 1 << false << key << wrongSize << true;
        QTest::newRow("shorter than declared") << archive << signature << bound << size + 1 << true << key << wrongSize << true;
        QTest::newRow("larger than accepted") << archive << signature << bound << qint64(2 << 20) << true << key
                                              << "its download is larger than Lumbrel accepts." << false;
        // The signature of the bytes alone would let a feed offer an older
        // signed release as a newer one.
        QTest::newRow("version and size not signed")
            << archive << signature << QByteArray() << size << true << key
            << "the update feed does not sign the version and size of its download." << false;
        QByteArray older;
        for (int i = 0; older.size() < 300'000; ++i)
            older += "Lumbrel 1.1 package, block " + QByteArray::number(i) + '\n';
        QTest::newRow("an older release offered as this one")
            << older << m_key.sign(older) << m_key.sign(releaseStatement("1.1", "", older)) << qint64(older.size())
            << true << key << unbound << true;
        QTest::newRow("signed as another version")
            << archive << signature << m_key.sign(releaseStatement("1.4", "", archive)) << size << true << key << unbound
            << true;
    }

    void download()
    {
        QFETCH(QByteArray, served);
        QFETCH(QByteArray, signature);
        QFETCH(QByteArray, releaseSignature);
        QFETCH(qint64, length);
        QFETCH(bool, sendLength);
        QFETCH(QByteArray, publicKey);
        QFETCH(QString, message);
        QFETCH(bool, fetched);
        const bool offered = message.isEmpty();

        QByteArray enclosure = "<enclosure url=\"/lumbrel_1.3_amd64.deb\"";
        if (length > 0)
            enclosure += " length=\"" + QByteArray::number(length) + '"';
        if (!signature.isEmpty())
            enclosure += " r:edSignature=\"" + signature + '"';
        if (!releaseSignature.isEmpty())
            enclosure += " r:releaseSignature=\"" + releaseSignature + '"';
        FeedServer server;
        server.routes["/appcast.xml"].body = feed("<item><r:version>1.3</r:version>" + enclosure + "/></item>");
        server.routes["/lumbrel_1.3_amd64.deb"] = {200, served, sendLength};

        auto updater = std::make_unique<AppcastUpdater>(server.url(), publicKey, u"1.2"_s);
        updater->setMaximumArchiveSize(1 << 20);
        QList<QUrl> opened;
        QStringList revealed;
        updater->setUrlOpener([&](const QUrl &url) { opened << url; return true; });
        updater->setFileRevealer([&](const QString &path) { revealed << path; });
        QSignalSpy finished(updater.get(), &AppcastUpdater::checkFinished);
        updater->checkForUpdates();
        QVERIFY(finished.wait());
        // (After a transfer that was stopped, the network layer may retry
        // it once on its own: counting the requests tells only whether any.)
        QCOMPARE(server.requests.value("/lumbrel_1.3_amd64.deb") > 0, fetched);

        if (!offered) {
            QCOMPARE(finished.first().first().value<State>(), State::Failed);
            QVERIFY2(updater->errorMessage().startsWith(u"Lumbrel 1.3 was not offered: "_s)
                         && updater->errorMessage().endsWith(message),
                     qPrintable(updater->errorMessage()));
            QVERIFY(updater->downloadedFile().isEmpty());
            QVERIFY(!updater->openDownloadedFile() && !updater->revealDownloadedFile());
            QVERIFY(opened.isEmpty() && revealed.isEmpty());
            QTRY_COMPARE(downloadFolders(), QStringList()); // nothing unverified is left behind
            return;
        }

        QCOMPARE(finished.first().first().value<State>(), State::UpdateAvailable);
        const QString file = updater->downloadedFile();
        QCOMPARE(QFileInfo(file).fileName(), u"lumbrel_1.3_amd64.deb"_s);
        QCOMPARE(readAll(file), served);
        QCOMPARE(modeOf(QFileInfo(file).path()) & 077, 0u); // nobody else can swap it before it is opened
        QVERIFY(updater->openDownloadedFile() && updater->revealDownloadedFile());
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(file)});
        QCOMPARE(revealed, QStringList{file});

        // The next check replaces the download; the end of the updater
        // removes the last one.
        updater->checkForUpdates();
        QTRY_VERIFY(!QFileInfo::exists(file));
        QTRY_COMPARE(finished.size(), 2);
        QCOMPARE(finished.last().first().value<State>(), State::UpdateAvailable);
        QCOMPARE(downloadFolders().size(), 1);
        updater.reset();
        QCOMPARE(downloadFolders(), QStringList());
    }

    // Cancelling stops the download and lets the menu item check again; the
    // menu item turns off when the updater goes first.
    void cancelStopsTheDownload()
    {
        const QByteArray archive(1000, 'x');
        FeedServer server;
        server.routes["/appcast.xml"].body = feed("<item><r:version>1.3</r:version><enclosure url=\"/stalled.deb\" "
                                                  "length=\"1000\" r:edSignature=\"" + m_key.sign(archive)
                                                  + "\" r:releaseSignature=\"" + m_key.sign(releaseStatement("1.3", "", archive))
                                                  + "\"/></item>");
        server.routes["/stalled.deb"].status = 0;
        auto updater = std::make_unique<AppcastUpdater>(server.url(), m_key.publicKey(), u"1.2"_s);
        CheckForUpdatesViewModel menuItem(updater.get());
        QSignalSpy finished(updater.get(), &AppcastUpdater::checkFinished);
        updater->checkForUpdates();
        QTRY_COMPARE(server.requests.value("/stalled.deb"), 1);
        QCOMPARE(updater->state(), State::Downloading);
        QVERIFY(!menuItem.canCheckForUpdates());
        QCOMPARE(downloadFolders().size(), 1);

        updater->cancel();
        QCOMPARE(updater->state(), State::Idle);
        QVERIFY(menuItem.canCheckForUpdates());
        QTRY_COMPARE(downloadFolders(), QStringList());
        QVERIFY(finished.isEmpty());
        updater.reset();
        QVERIFY(!menuItem.canCheckForUpdates());
        menuItem.checkForUpdates();
    }

    // A build without a feed says where updates come from, in the dialog
    // that follows the check's states.
    void noFeedPointsToThePackageManager()
    {
        AppcastUpdater updater(QUrl(), m_key.publicKey(), u"1.0"_s);
        QQmlEngine engine;
        QList<QQmlError> warnings;
        connect(&engine, &QQmlEngine::warnings, this, [&](const QList<QQmlError> &list) { warnings += list; });
        engine.addImportPath(u"qrc:/"_s);
        QQmlComponent component(&engine, QUrl(u"qrc:/LumbrelUpdates/UpdateDialogView.qml"_s));
        std::unique_ptr<QObject> dialog(
            component.createWithInitialProperties({{u"updater"_s, QVariant::fromValue(&updater)}}));
        QVERIFY2(dialog, qPrintable(component.errorString()));
        // Shown in a window, as the application shows it, so that its
        // contents are visible when their state is.
        QQuickWindow window;
        dialog->setProperty("parent", QVariant::fromValue(window.contentItem()));
        QMetaObject::invokeMethod(dialog.get(), "open");
        QObject *noFeedMessage = dialog->findChild<QObject *>(u"noFeedMessage"_s);
        QVERIFY(noFeedMessage);
        QVERIFY(!noFeedMessage->property("visible").toBool());

        CheckForUpdatesViewModel menuItem(&updater);
        QSignalSpy finished(&updater, &AppcastUpdater::checkFinished);
        menuItem.checkForUpdates();
        QVERIFY(!menuItem.canCheckForUpdates());
        QCOMPARE(dialog->property("updateState").toInt(), int(State::Checking));
        QVERIFY(finished.wait());
        QVERIFY(menuItem.canCheckForUpdates());
        QCOMPARE(dialog->property("updateState").toInt(), int(State::NoFeed));
        QVERIFY(noFeedMessage->property("visible").toBool());
        QCOMPARE(noFeedMessage->property("text").toString(),
                 u"Updates for this copy of Lumbrel come from your package manager."_s);
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.value(0).toString()));
    }
};

QTEST_MAIN(TestUpdates)
#include "tst_updates.moc"
