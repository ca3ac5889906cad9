#include "Appcast.h"
#include "AppcastUpdater.h"
#include "CheckForUpdatesViewModel.h"

#include <QMetaEnum>
#include <QQmlComponent>
#include <QQmlEngine>
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
public:
    bool can = true;
    int checks = 0;
    bool canCheckForUpdates() const override { return can; }
    void checkForUpdates() override { ++checks; }
    void setCan(bool value) { can = value; emit canCheckForUpdatesChanged(); }
};

// Answers every request on 127.0.0.1 with `status` and `body`; with status 0
// it takes requests and never answers.
struct FeedServer : QTcpServer
{
    int status = 200;
    QByteArray body;
    bool sendLength = true;

    FeedServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (status == 0 || !socket->peek(socket->bytesAvailable()).contains("\r\n\r\n"))
                        return;
                    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + " Answer\r\nConnection: close\r\n";
                    if (sendLength)
                        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
                    socket->readAll();
                    socket->write(head + "\r\n" + body);
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

} // namespace

class TestUpdates : public QObject
{
    Q_OBJECT

private slots:
    void viewModelFollowsTheUpdater_data()
    {
        QTest::addColumn<bool>("initial");
        QTest::newRow("updater can check") << true;
        QTest::newRow("updater is busy") << false;
    }

    void viewModelFollowsTheUpdater()
    {
        QFETCH(bool, initial);
        auto updater = std::make_unique<FakeUpdater>();
        updater->can = initial;
        CheckForUpdatesViewModel model(updater.get());
        QCOMPARE(model.canCheckForUpdates(), initial);
        updater->setCan(!initial);
        QCOMPARE(model.canCheckForUpdates(), !initial);
        QMetaObject::invokeMethod(&model, "checkForUpdates"); // as the menu item calls it
        QCOMPARE(updater->checks, 1);

        // An updater that goes away first turns the item off.
        updater->setCan(true);
        updater.reset();
        QVERIFY(!model.canCheckForUpdates());
        model.checkForUpdates();
    }

    void versionComparison_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("shortVersion");
        QTest::addColumn<bool>("newer");

        QTest::newRow("numeric, not textual") << "1.9" << "1.10" << "" << true;
        QTest::newRow("trailing zero is the same") << "1.2.0" << "1.2" << "" << false;
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
        QTest::addColumn<QUrl>("opened");
        QTest::addColumn<QString>("message");
        const QString unreadable = u"The update feed could not be read."_s;
        const QByteArray huge = feed(QByteArray(4096, ' '));

        QTest::newRow("newer, newest last")
            << feed("<item><r:version>1.0</r:version><link>https://lumbrel.app/download/1.0</link></item><item>"
                    "<r:version>1.3.0</r:version><r:shortVersionString>1.3</r:shortVersionString>"
                    "<link>https://lumbrel.app/download/1.3</link><enclosure url=\"https://lumbrel.app/1.3.zip\"/>"
                    "<description><![CDATA[<h2>What&#39;s new</h2><ul><li>Faster&nbsp;bundling</li></ul>"
                    "<script>alert(1)</script>]]></description></item>")
            << 200 << true << State::UpdateAvailable << "1.3" << QUrl("https://lumbrel.app/download/1.3")
            << u"What's new\n• Faster bundling"_s;
        QTest::newRow("same")
            << feed("<item><r:version>1.2.0</r:version><r:shortVersionString>1.2</r:shortVersionString></item>")
            << 200 << true << State::UpToDate << "1.2" << QUrl() << "";
        QTest::newRow("beta channel and versionless items skipped")
            << feed("<item><r:version>9</r:version><r:channel>beta</r:channel></item><item><title>x</title></item>"
                    "<item><r:version>1.1</r:version></item>")
            << 200 << true << State::UpToDate << "1.1" << QUrl() << "";
        QTest::newRow("file: package never opened")
            << feed("<item><enclosure url=\"file:///usr/bin/xterm\" r:version=\"2.0\"/></item>") << 200 << true
            << State::UpdateAvailable << "2.0" << QUrl() << "";
        QTest::newRow("not XML") << QByteArray("<html><body>Sign in to the Wi-Fi") << 200 << true << State::Failed
                                 << "" << QUrl() << unreadable;
        QTest::newRow("no answer") << QByteArray() << 0 << true << State::Failed << "" << QUrl()
                                   << u"Could not check for updates: the server did not respond in time."_s;
        QTest::newRow("not found") << QByteArray() << 404 << true << State::Failed << "" << QUrl()
                                   << u"Could not check for updates: "_s;
        QTest::newRow("too large, announced") << huge << 200 << true << State::Failed << "" << QUrl() << unreadable;
        QTest::newRow("too large, streamed") << huge << 200 << false << State::Failed << "" << QUrl() << unreadable;
    }

    void check()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(bool, sendLength);
        QFETCH(State, result);
        QFETCH(QString, latest);
        QFETCH(QUrl, opened);
        QFETCH(QString, message);
        FeedServer server;
        server.body = body;
        server.status = status;
        server.sendLength = sendLength;
        AppcastUpdater updater(server.url(), u"1.2"_s);
        updater.setMaximumFeedSize(2048);
        updater.setTransferTimeout(std::chrono::milliseconds(status == 0 ? 200 : 30000));
        QList<QUrl> browser;
        updater.setUrlOpener([&](const QUrl &url) { browser << url; return true; });
        QSignalSpy finished(&updater, &AppcastUpdater::checkFinished);
        updater.checkForUpdates();
        QVERIFY(finished.wait());

        QCOMPARE(finished.first().first().value<State>(), result);
        QCOMPARE(updater.latestVersion(), latest);
        if (result == State::Failed)
            QVERIFY2(updater.errorMessage().startsWith(message), qPrintable(updater.errorMessage()));
        else
            QCOMPARE(updater.releaseNotes(), message);
        // Only a web page ever reaches the browser.
        QCOMPARE(updater.openDownloadPage(), !opened.isEmpty());
        QCOMPARE(browser.value(0), opened);
    }

    void unreachableHostFailsAndTheMenuAndDialogFollow()
    {
        FeedServer closed;
        AppcastUpdater updater(closed.url(), u"1.0"_s);
        closed.close();
        QQmlEngine engine;
        QList<QQmlError> warnings;
        connect(&engine, &QQmlEngine::warnings, this, [&](const QList<QQmlError> &list) { warnings += list; });
        QQmlComponent component(&engine, QUrl(u"qrc:/lumbrel/updates/UpdateDialogView.qml"_s));
        std::unique_ptr<QObject> dialog(
            component.createWithInitialProperties({{u"updater"_s, QVariant::fromValue(&updater)}}));
        QVERIFY2(dialog, qPrintable(component.errorString()));
        // The dialog spells out the states itself; they must match the updater's.
        const QMetaEnum states = QMetaEnum::fromType<State>();
        for (const char *name : {"Checking", "UpToDate", "UpdateAvailable", "Failed"})
            QCOMPARE(dialog->property(("state" + QByteArray(name)).constData()).toInt(), states.keyToValue(name));

        CheckForUpdatesViewModel menuItem(&updater);
        QSignalSpy finished(&updater, &AppcastUpdater::checkFinished);
        menuItem.checkForUpdates();
        QVERIFY(!updater.canCheckForUpdates() && !menuItem.canCheckForUpdates());
        QCOMPARE(dialog->property("updateState").toInt(), int(State::Checking));
        QVERIFY(finished.wait());
        QVERIFY(menuItem.canCheckForUpdates());
        QCOMPARE(dialog->property("updateState").toInt(), int(State::Failed));
        QVERIFY2(updater.errorMessage().startsWith(u"Could not check for updates: "_s),
                 qPrintable(updater.errorMessage()));
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.value(0).toString()));
    }
};

QTEST_MAIN(TestUpdates)
#include "tst_updates.moc"
