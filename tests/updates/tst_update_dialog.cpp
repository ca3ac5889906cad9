#include "AppcastUpdater.h"

#include <QMetaEnum>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

class TestUpdateDialog : public QObject
{
    Q_OBJECT

private slots:
    void loadsAndFollowsTheUpdater();
};

void TestUpdateDialog::loadsAndFollowsTheUpdater()
{
    // A closed loopback port makes the check fail quickly.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    AppcastUpdater updater(QUrl(u"http://127.0.0.1:%1/appcast.xml"_s.arg(closed.serverPort())), u"1.0"_s);
    closed.close();

    QQmlEngine engine;
    QList<QQmlError> warnings;
    connect(&engine, &QQmlEngine::warnings, this, [&](const QList<QQmlError> &list) { warnings += list; });

    QQmlComponent component(&engine, QUrl(u"qrc:/lumbrel/updates/UpdateDialogView.qml"_s));
    std::unique_ptr<QObject> dialog(component.createWithInitialProperties({{u"updater"_s, QVariant::fromValue(&updater)}}));
    QVERIFY2(dialog, qPrintable(component.errorString()));

    // The dialog spells out the states itself; they must match the updater's.
    const QMetaEnum states = QMetaEnum::fromType<AppcastUpdater::State>();
    for (const char *name : {"Checking", "UpToDate", "UpdateAvailable", "Failed"}) {
        const QByteArray property = "state" + QByteArray(name);
        QCOMPARE(dialog->property(property.constData()).toInt(), states.keyToValue(name));
    }

    updater.checkForUpdates();
    QCOMPARE(dialog->property("updateState").toInt(), int(AppcastUpdater::State::Checking));
    QTRY_COMPARE(dialog->property("updateState").toInt(), int(AppcastUpdater::State::Failed));

    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.value(0).toString()));
}

QTEST_MAIN(TestUpdateDialog)
#include "tst_update_dialog.moc"
