#include "Appcast.h"
#include "AppcastUpdater.h"
#include "CheckForUpdatesViewModel.h"
#include "Updater.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using State = AppcastUpdater::State;

namespace {

class FakeUpdater : public Updater
{
    Q_OBJECT
public:
    explicit FakeUpdater(bool can) : m_can(can) { }
    bool canCheckForUpdates() const override { return m_can; }
    void checkForUpdates() override { ++checks; }
    void setCan(bool can)
    {
        if (std::exchange(m_can, can) != can)
            emit canCheckForUpdatesChanged();
    }
    int checks = 0;

private:
    bool m_can;
};

// Serves one fixed answer to every request on 127.0.0.1. When holding, it
// keeps requests unanswered until release(). Stops when destroyed.
class FeedServer : public QObject
{
    Q_OBJECT
public:
    int status = 200;
    QByteArray body;
    bool sendLength = true;
    bool holding = false;

    FeedServer()
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost, 0));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
            }
        });
    }
    QUrl url() const { return QUrl(u"http://127.0.0.1:%1/appcast.xml"_s.arg(m_server.serverPort())); }
    int requests() const { return m_requests; }
    void release()
    {
        holding = false;
        for (QTcpSocket *socket : std::exchange(m_held, {}))
            respond(socket);
    }

private:
    void readRequest(QTcpSocket *socket)
    {
        QByteArray &request = m_pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        ++m_requests;
        if (holding)
            m_held.append(socket);
        else
            respond(socket);
    }
    void respond(QTcpSocket *socket)
    {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Not Found")
            + "\r\nContent-Type: application/rss+xml\r\nConnection: close\r\n";
        if (sendLength)
            head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        socket->write(head + "\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;
    QList<QTcpSocket *> m_held;
    int m_requests = 0;
};

} // namespace

class TestUpdates : public QObject
{
    Q_OBJECT

private slots:
    void viewModelDeliversAndMirrors_data();
    void viewModelDeliversAndMirrors();
    void viewModelLifetime();

    void versionComparison_data();
    void versionComparison();
    void parseFeed_data();
    void parseFeed();

    void check_data();
    void check();
    void unreachableHost();
    void hangingHost();
    void busyDuringCheck();
};

// Kept below the classes: moc loses its way in multi-line raw strings holding "//".
namespace {

QByteArray feed(const QByteArray &items)
{
    return R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:r="https://lumbrel.app/xml-namespaces/release">
<channel><title>Lumbrel</title>)" + items + "</channel></rss>";
}

const QByteArray twoReleases = feed(R"(
<item><title>1.0</title><r:version>1.0.0</r:version>
  <link>https://lumbrel.app/download/1.0</link>
  <enclosure url="https://lumbrel.app/files/1.0.zip" length="1"/></item>
<item><title>1.2</title><r:version>1.2.0</r:version><r:shortVersionString>1.2</r:shortVersionString>
  <description><![CDATA[<p>Faster bundling.</p>]]></description>
  <link>https://lumbrel.app/download/1.2</link>
  <enclosure url="https://lumbrel.app/files/1.2.zip" length="1"/></item>)");

QByteArray releaseWithEnclosure(const QByteArray &url)
{
    return feed(R"(<item><title>2.0</title><enclosure url=")" + url + R"(" r:version="2.0"/></item>)");
}

} // namespace

void TestUpdates::viewModelDeliversAndMirrors_data()
{
    QTest::addColumn<bool>("initial");
    QTest::newRow("updater can check") << true;
    QTest::newRow("updater is busy") << false;
}

void TestUpdates::viewModelDeliversAndMirrors()
{
    QFETCH(bool, initial);
    FakeUpdater updater(initial);
    CheckForUpdatesViewModel model(&updater);
    QCOMPARE(model.canCheckForUpdates(), initial);

    QSignalSpy changed(&model, &CheckForUpdatesViewModel::canCheckForUpdatesChanged);
    updater.setCan(!initial);
    QCOMPARE(model.canCheckForUpdates(), !initial);
    updater.setCan(initial);
    QCOMPARE(model.canCheckForUpdates(), initial);
    QCOMPARE(changed.count(), 2);

    QMetaObject::invokeMethod(&model, "checkForUpdates"); // as the menu item calls it
    QCOMPARE(updater.checks, 1);
}

void TestUpdates::viewModelLifetime()
{
    // The model ends its subscription when it goes...
    auto updater = std::make_unique<FakeUpdater>(true);
    {
        CheckForUpdatesViewModel model(updater.get());
    }
    updater->setCan(false);

    // ...and turns the item off when the updater goes first.
    updater->setCan(true);
    CheckForUpdatesViewModel model(updater.get());
    QVERIFY(model.canCheckForUpdates());
    updater.reset();
    QVERIFY(!model.canCheckForUpdates());
    model.checkForUpdates();
}

void TestUpdates::versionComparison_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("shortVersion");
    QTest::addColumn<int>("expected"); // 1 newer, 0 not newer, -1 item ignored

    QTest::newRow("numeric, not textual") << "1.9" << "1.10" << "" << 1;
    QTest::newRow("patch release") << "1.2" << "1.2.1" << "" << 1;
    QTest::newRow("trailing zero is the same") << "1.2.0" << "1.2" << "" << 0;
    QTest::newRow("older") << "2.0" << "1.99.9" << "" << 0;
    QTest::newRow("leading v") << "1.0" << "v1.1" << "" << 1;
    QTest::newRow("suffix ignored") << "1.3" << "1.3-beta2" << "" << 0;
    QTest::newRow("falls back to short") << "1.0" << "" << "1.1" << 1;
    QTest::newRow("unreadable version, short") << "1.0" << "build-a" << "0.9" << 0;
    QTest::newRow("version beats short") << "1.0" << "1.0" << "2.0" << 0;
    QTest::newRow("nothing readable") << "1.0" << "latest" << "new" << -1;
    QTest::newRow("own version unknown") << "" << "0.1" << "" << 1;
}

void TestUpdates::versionComparison()
{
    QFETCH(QString, current);
    QFETCH(QString, version);
    QFETCH(QString, shortVersion);
    QFETCH(int, expected);

    Appcast::Item item;
    item.version = version;
    item.shortVersionString = shortVersion;
    const std::optional<QVersionNumber> itemVersion = Appcast::versionOf(item);
    QCOMPARE(Appcast::newestItem({item}).has_value(), expected >= 0);
    if (expected >= 0)
        QCOMPARE(*itemVersion > Appcast::parseVersion(current).value_or(QVersionNumber()), expected == 1);
}

void TestUpdates::parseFeed_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QString>("version"); // of the newest item; empty if none
    QTest::addColumn<QUrl>("download");
    QTest::addColumn<QString>("notes");

    QTest::newRow("elements, newest last") << twoReleases << true << "1.2"
                                           << QUrl("https://lumbrel.app/download/1.2") << "Faster bundling.";
    QTest::newRow("enclosure attributes, no page")
        << feed(R"(<item><enclosure url="https://lumbrel.app/f.zip" r:version="3.1" r:shortVersionString="3.1 beta"/>
                   </item>)")
        << true << "3.1 beta" << QUrl("https://lumbrel.app/f.zip") << "";
    QTest::newRow("relative addresses")
        << feed("<item><r:version>1</r:version><link>download</link></item>") << true << "1"
        << QUrl("http://feed.example/updates/download") << "";
    QTest::newRow("package for another system")
        << feed(R"(<item><r:version>1</r:version><enclosure url="https://lumbrel.app/a" r:os="amigaos"/></item>)")
        << true << "1" << QUrl() << "";
    QTest::newRow("HTML notes")
        << feed(R"(<item><r:version>1</r:version><description><![CDATA[
                   <h2>What&#39;s new</h2><ul><li>Smaller&nbsp;output</li><li>Fixes</li></ul>
                   <script>alert(1)</script>]]></description></item>)")
        << true << "1" << QUrl() << u"What's new\n• Smaller output\n• Fixes"_s;
    QTest::newRow("plain notes keep their lines")
        << feed("<item><r:version>1</r:version><description>One\nTwo</description></item>") << true << "1"
        << QUrl() << "One\nTwo";
    QTest::newRow("beta channel and versionless items skipped")
        << feed(R"(<item><r:version>9</r:version><r:channel>beta</r:channel></item>
                   <item><title>no version</title></item>
                   <item><r:version>2</r:version></item><item><r:version>1</r:version></item>)")
        << true << "2" << QUrl() << "";
    QTest::newRow("no items") << feed("") << true << "" << QUrl() << "";
    QTest::newRow("not XML") << QByteArray("<html><body>Sign in to the Wi-Fi") << false << "" << QUrl() << "";
    QTest::newRow("truncated") << twoReleases.left(twoReleases.size() / 2) << false << "" << QUrl() << "";
}

void TestUpdates::parseFeed()
{
    QFETCH(QByteArray, xml);
    QFETCH(bool, readable);
    QFETCH(QString, version);
    QFETCH(QUrl, download);
    QFETCH(QString, notes);

    const auto items = Appcast::parse(xml, QUrl("http://feed.example/updates/appcast.xml"));
    QCOMPARE(items.has_value(), readable);
    if (!readable)
        return;
    const std::optional<Appcast::Item> newest = Appcast::newestItem(*items);
    QCOMPARE(newest.has_value(), !version.isEmpty());
    if (!newest)
        return;
    QCOMPARE(newest->displayVersion(), version);
    QCOMPARE(newest->downloadUrl(), download);
    QCOMPARE(newest->releaseNotes, notes);
}

void TestUpdates::check_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("sendLength");
    QTest::addColumn<QString>("current");
    QTest::addColumn<State>("result");
    QTest::addColumn<QString>("latest");
    QTest::addColumn<QUrl>("opened");
    QTest::addColumn<QString>("error"); // start of the message

    const QUrl page("https://lumbrel.app/download/1.2");
    const QString unreadable = u"The update feed could not be read."_s;
    const QByteArray huge = feed(QByteArray(4096, ' '));

    QTest::newRow("newer") << twoReleases << 200 << true << "1.1.0" << State::UpdateAvailable << "1.2" << page << "";
    QTest::newRow("same") << twoReleases << 200 << true << "1.2" << State::UpToDate << "1.2" << QUrl() << "";
    QTest::newRow("not XML") << QByteArray("hello") << 200 << true << "1.0" << State::Failed << "" << QUrl()
                             << unreadable;
    QTest::newRow("no items") << feed("") << 200 << true << "1.0" << State::Failed << "" << QUrl() << unreadable;
    QTest::newRow("not found") << QByteArray() << 404 << true << "1.0" << State::Failed << "" << QUrl()
                               << "Could not check for updates: ";
    QTest::newRow("too large, announced") << huge << 200 << true << "1.0" << State::Failed << "" << QUrl()
                                          << unreadable;
    QTest::newRow("too large, streamed") << huge << 200 << false << "1.0" << State::Failed << "" << QUrl()
                                         << unreadable;
    QTest::newRow("javascript: package") << releaseWithEnclosure("javascript:alert(1)") << 200 << true << "1.0"
                                         << State::UpdateAvailable << "2.0" << QUrl() << "";
    QTest::newRow("file: package") << releaseWithEnclosure("file://localhost/etc/passwd") << 200 << true << "1.0"
                                   << State::UpdateAvailable << "2.0" << QUrl() << "";
}

void TestUpdates::check()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(bool, sendLength);
    QFETCH(QString, current);
    QFETCH(State, result);
    QFETCH(QString, latest);
    QFETCH(QUrl, opened);
    QFETCH(QString, error);

    FeedServer server;
    server.body = body;
    server.status = status;
    server.sendLength = sendLength;

    AppcastUpdater updater(server.url(), current);
    updater.setMaximumFeedSize(2048);
    QList<QUrl> openedUrls;
    updater.setUrlOpener([&](const QUrl &url) { openedUrls.append(url); return true; });
    QSignalSpy finished(&updater, &AppcastUpdater::checkFinished);

    updater.checkForUpdates();
    QVERIFY(finished.wait());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().value<State>(), result);
    QCOMPARE(updater.state(), result);
    QVERIFY(updater.canCheckForUpdates());
    QCOMPARE(updater.latestVersion(), latest);
    if (error.isEmpty())
        QVERIFY2(updater.errorMessage().isEmpty(), qPrintable(updater.errorMessage()));
    else
        QVERIFY2(updater.errorMessage().startsWith(error), qPrintable(updater.errorMessage()));
    QCOMPARE(updater.downloadUrl(), opened);

    QCOMPARE(updater.openDownloadPage(), !opened.isEmpty());
    QCOMPARE(openedUrls, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{opened});
}

void TestUpdates::unreachableHost()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const QUrl url(u"http://127.0.0.1:%1/appcast.xml"_s.arg(closed.serverPort()));
    closed.close();

    AppcastUpdater updater(url, u"1.0"_s);
    QSignalSpy finished(&updater, &AppcastUpdater::checkFinished);
    updater.checkForUpdates();
    QVERIFY(finished.wait());
    QCOMPARE(updater.state(), State::Failed);
    QVERIFY2(updater.errorMessage().startsWith(u"Could not check for updates: "_s), qPrintable(updater.errorMessage()));
}

void TestUpdates::hangingHost()
{
    FeedServer server;
    server.holding = true; // accepts, never answers
    AppcastUpdater updater(server.url(), u"1.0"_s);
    updater.setTransferTimeout(std::chrono::milliseconds(200));
    QSignalSpy finished(&updater, &AppcastUpdater::checkFinished);
    updater.checkForUpdates();
    QVERIFY(finished.wait());
    QCOMPARE(updater.state(), State::Failed);
    QCOMPARE(updater.errorMessage(), u"Could not check for updates: the server did not respond in time."_s);
}

void TestUpdates::busyDuringCheck()
{
    FeedServer server;
    server.body = twoReleases;
    server.holding = true;
    AppcastUpdater updater(server.url(), u"1.2"_s);
    CheckForUpdatesViewModel menuItem(&updater);
    QSignalSpy canCheckChanged(&updater, &Updater::canCheckForUpdatesChanged);
    QVERIFY(menuItem.canCheckForUpdates());

    menuItem.checkForUpdates();
    QCOMPARE(updater.state(), State::Checking);
    QVERIFY(!updater.canCheckForUpdates());
    QVERIFY(!menuItem.canCheckForUpdates());
    QTRY_COMPARE(server.requests(), 1);

    updater.checkForUpdates(); // ignored while one runs
    server.release();
    QTRY_COMPARE(updater.state(), State::UpToDate);
    QVERIFY(menuItem.canCheckForUpdates());
    QCOMPARE(canCheckChanged.count(), 2);
    QCOMPARE(server.requests(), 1);
}

QTEST_MAIN(TestUpdates)
#include "tst_updates.moc"
