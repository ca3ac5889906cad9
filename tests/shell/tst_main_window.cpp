// The window as the application builds it: size, menus, closing, open requests.
#include "AppDelegate.h"
#include "CheckForUpdatesViewModel.h"
#include "ContentView.h"
#include "MainApp.h"
#include "Updater.h"

#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlExpression>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)
Q_IMPORT_QML_PLUGIN(LumbrelAppPlugin)

namespace {
class FakeUpdater : public Updater
{
public:
    bool canCheckForUpdates() const override { return m_can; }
    void checkForUpdates() override { ++checks; }
    void setCan(bool can)
    {
        m_can = can;
        emit canCheckForUpdatesChanged();
    }
    int checks = 0;

private:
    bool m_can = true;
};
} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setOrganizationName(QStringLiteral("Lumbrel")); }
    void init()
    {
        auto updater = std::make_unique<FakeUpdater>();
        m_updater = updater.get();
        m_app = std::make_unique<MainApp>(std::move(updater));
        m_engine = std::make_unique<QQmlApplicationEngine>();
        m_engine->addImportPath(QStringLiteral("qrc:/"));
        m_engine->setInitialProperties({{QStringLiteral("app"), QVariant::fromValue(m_app.get())}});
        m_engine->load(QUrl(QStringLiteral("qrc:/LumbrelApp/Main.qml")));
        QVERIFY(!m_engine->rootObjects().isEmpty());
        m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }
    void cleanup()
    {
        m_engine.reset();
        m_app.reset();
    }

    void windowAndMenus()
    {
        auto *content = m_window->findChild<QQuickItem *>(QStringLiteral("contentView"));
        QVERIFY(content);
        QCOMPARE(content->size(), QSizeF(400, 500));
        QCOMPARE(m_window->minimumSize(), m_window->maximumSize()); // not resizable

        auto *menuBar = m_window->findChild<QQuickItem *>(QStringLiteral("menuBar"));
        const auto texts = [menuBar](const QByteArray &expression) {
            return QQmlExpression(qmlContext(menuBar), menuBar, QString::fromLatin1(expression)).evaluate().toStringList();
        };
        // Titles carry their mnemonics; separators have no text. No New item.
        QCOMPARE(texts("Array.from(menus, m => m.title)"), (QStringList{"&Lumbrel", "&File", "&Help"}));
        QCOMPARE(texts("Array.from(menus, m => Array.from(m.contentData).filter(i => i.text).map(i => i.text).join('|'))"),
                 (QStringList{"About Lumbrel|Check for Updates…|Quit Lumbrel", "Add Files…|Add Folder…|Close Window",
                              "Contact Support"}));
    }

    void updateItemFollowsTheUpdater()
    {
        QObject *item = m_window->findChild<QObject *>(QStringLiteral("checkForUpdatesItem"));
        QVERIFY(item->property("enabled").toBool());
        m_updater->setCan(false);
        QVERIFY(!item->property("enabled").toBool());
        m_updater->setCan(true);
        QMetaObject::invokeMethod(item->property("action").value<QObject *>(), "trigger");
        QCOMPARE(m_updater->checks, 1);
    }

    // Closing hides the window with its state; an open request (another
    // launch, the desktop) brings it back with the items in the list.
    void closingOnlyHidesTheWindowAndOpenRequestsBringItBack()
    {
        QVERIFY(m_window->isVisible());
        m_window->close();
        QTRY_VERIFY(!m_window->isVisible());
        QVERIFY(m_engine->rootObjects().contains(m_window)); // same window, same state
        QTemporaryDir dir;
        m_app->appDelegate()->openUrls({QUrl::fromLocalFile(dir.path())});
        QTRY_VERIFY(m_window->isVisible());
        QTRY_COMPARE(m_app->contentView()->files()->urls(), QList<QUrl>{QUrl::fromLocalFile(dir.path())});
    }

private:
    FakeUpdater *m_updater = nullptr;
    std::unique_ptr<MainApp> m_app;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
