// The window as the application builds it: size, menus, closing, open requests.
#include "AppDelegate.h"
#include "CheckForUpdatesViewModel.h"
#include "ContentView.h"
#include "FakePacker.h"
#include "MainApp.h"
#include "Processes.h"
#include "TestFiles.h"
#include "Updater.h"

#include <QClipboard>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlExpression>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtMath>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)
Q_IMPORT_QML_PLUGIN(LumbrelAppPlugin)
Q_IMPORT_QML_PLUGIN(LumbrelUpdatesPlugin)

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

void setFontSize(qreal points)
{
    QFont font = QGuiApplication::font();
    font.setPointSizeF(points);
    QGuiApplication::setFont(font);
}

// Runs the event loop until something ends it (true), or for at most `ms` (false).
bool eventLoopEnds(int ms)
{
    QTimer limit;
    limit.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&limit, &QTimer::timeout, [&timedOut] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    limit.start(ms);
    QCoreApplication::exec();
    return !timedOut;
}
} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Lumbrel"));
        setFontSize(11);
    }
    void init() { open(m_packer.succeeding(1, 10, 3)); }
    void cleanup()
    {
        m_engine.reset();
        m_app.reset();
        setFontSize(11);
    }

    void windowAndMenus()
    {
        auto *content = m_window->findChild<QQuickItem *>(QStringLiteral("contentView"));
        QVERIFY(content);
        QCOMPARE(content->size(), QSizeF(400, 500)); // the design size at the design font
        QCOMPARE(m_window->minimumSize(), m_window->size());
        QVERIFY(m_window->maximumWidth() > 400 && m_window->maximumHeight() > 500); // may be made larger

        // Titles carry their mnemonics; separators have no text. No New item.
        QCOMPARE(texts("Array.from(menus, m => m.title)"), (QStringList{"&Lumbrel", "&File", "&Edit", "&Help"}));
        QCOMPARE(texts("Array.from(menus, m => Array.from(m.contentData).filter(i => i.text || i.title)"
                       ".map(i => i.text || i.title).join('|'))"),
                 (QStringList{"About Lumbrel|Check for Updates…|Quit Lumbrel",
                              "Add Files…|Add Folder…|Open Recent|Close Window", "Undo", "Contact Support"}));
        // Items show their shortcuts.
        QCOMPARE(texts("Array.from(menus[1].contentData).filter(i => i.shortcutText).map(i => i.shortcutText)"),
                 (QStringList{"Ctrl+Shift+O", "Ctrl+O", "Ctrl+W"}));
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

    // The smallest size is the design size grown with the font's size on
    // screen; the window follows when the font grows, and nothing on the
    // list screen leaves the window or is cut that was whole at 11 points.
    void minimumSizeGrowsWithTheFont()
    {
        m_app->contentView()->handleDrop({items()});
        m_app->contentView()->setShowIgnorePatterns(true);
        QVERIFY(QQuickTest::qWaitForPolish(m_window));
        const QStringList cutAtDesign = cutOrOutside();
        const QSize design = m_window->minimumSize();
        for (const qreal points : {14.0, 16.0}) {
            setFontSize(points);
            QTRY_VERIFY(m_window->minimumWidth() > design.width());
            QCOMPARE(m_window->minimumWidth(), qCeil(400 * points / 11));
            QVERIFY(m_window->width() >= m_window->minimumWidth() && m_window->height() >= m_window->minimumHeight());
            QVERIFY(QQuickTest::qWaitForPolish(m_window));
            QStringList cut = cutOrOutside();
            for (const QString &known : cutAtDesign)
                cut.removeAll(known);
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));
        }
    }

    // Where closing does not hide the application, it quits: the event loop
    // ends, and the warm packer with the application.
    void closingQuitsAndTheWarmPackerEnds()
    {
        open(PackerLocation::bundled());
        m_app->contentView()->repomix().startService();
        QTRY_VERIFY_WITH_TIMEOUT(!childProcesses(::getpid(), "packer-service").empty(), 30000);
        const pid_t service = childProcesses(::getpid(), "packer-service").front();
        QTimer::singleShot(0, m_window, &QWindow::close);
        QVERIFY(eventLoopEnds(10000));
        m_engine.reset();
        m_app.reset();
        QTRY_VERIFY(processEnded(service));
    }

    // While a bundle is written, closing (as Quit) asks first; keeping on
    // leaves everything running, stopping quits and leaves the file alone.
    void closingAsksWhileABundleRuns()
    {
        open(m_packer.location("sleep 300 & wait"));
        const QString destination = m_dir.filePath(QStringLiteral("out.txt"));
        writeFile(destination.toStdString(), "kept\n");
        m_app->contentView()->handleDrop({items()});
        m_app->contentView()->job()->run(QUrl::fromLocalFile(destination));
        QObject *dialog = m_window->findChild<QObject *>(QStringLiteral("quitDialog"));

        m_window->close();
        QTRY_VERIFY(dialog->property("opened").toBool());
        QCOMPARE(m_window->property("activeFocusItem").value<QObject *>()->objectName(), QStringLiteral("rejectButton"));
        QTest::keyClick(m_window, Qt::Key_Return); // "Keep Bundling"
        QTRY_VERIFY(!dialog->property("visible").toBool());
        QVERIFY(m_window->isVisible());
        QVERIFY(m_app->contentView()->isProcessing());

        QTimer::singleShot(0, m_window, &QWindow::close);
        QTimer::singleShot(0, this, [dialog] {
            QTRY_VERIFY(dialog->property("opened").toBool());
            QMetaObject::invokeMethod(dialog, "accept"); // "Stop and Quit"
        });
        QVERIFY(eventLoopEnds(10000));
        QVERIFY(!m_app->contentView()->isProcessing());
        QCOMPARE(readAll(destination), QByteArray("kept\n"));
    }

    // F10 opens the first menu; Left and Right go from menu to menu, one open at a time.
    void keyboardMovesThroughTheMenus()
    {
        const auto openMenus = [this] { return texts("Array.from(menus).filter(m => m.visible).map(m => m.title)"); };
        QTest::keyClick(m_window, Qt::Key_F10);
        QTRY_COMPARE(openMenus(), QStringList{"&Lumbrel"});
        QTest::keyClick(m_window, Qt::Key_Right);
        QTRY_COMPARE(openMenus(), QStringList{"&File"});
        QTest::keyClick(m_window, Qt::Key_Right);
        QTRY_COMPARE(openMenus(), QStringList{"&Edit"});
        QTest::keyClick(m_window, Qt::Key_Left);
        QTRY_COMPARE(openMenus(), QStringList{"&File"});
        QTest::keyClick(m_window, Qt::Key_Escape);
        QTRY_COMPARE(openMenus(), QStringList{});
    }

    // Bundled selections come back from File › Open Recent (kept for the next
    // start); Clear Menu empties it. Ctrl+Z takes a removal back.
    void openRecentAndUndo()
    {
        ContentView *view = m_app->contentView();
        view->recent()->clear();
        const QList<QUrl> chosen{items()};
        view->handleDrop(chosen);
        view->job()->run(QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("out.txt"))));
        QTRY_COMPARE(view->job()->screen(), BundleJob::Screen::Completed);
        view->resetState();
        QCOMPARE(view->files()->count(), 0);
        QTest::keyClick(m_window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(view->files()->urls(), chosen);
        view->clearAll();

        QObject *recentMenu = m_window->findChild<QObject *>(QStringLiteral("openRecentMenu"));
        QStringList listed;
        for (int i = 0; i < recentMenu->property("count").toInt(); ++i) {
            QQuickItem *item = nullptr;
            QMetaObject::invokeMethod(recentMenu, "itemAt", Q_RETURN_ARG(QQuickItem *, item), Q_ARG(int, i));
            if (item && item->objectName() == QLatin1String("recentItem"))
                listed << item->property("text").toString();
        }
        QCOMPARE(listed, QStringList{QStringLiteral("items")});
        // The next start lists it too.
        RecentSelections again;
        QCOMPARE(again.at(0), chosen);
        view->openRecent(0);
        QCOMPARE(view->files()->urls(), chosen);

        auto *clear = m_window->findChild<QObject *>(QStringLiteral("clearRecentItem"));
        QMetaObject::invokeMethod(clear->property("action").value<QObject *>(), "trigger");
        QCOMPARE(view->recent()->count(), 0);
        QCOMPARE(RecentSelections().count(), 0);
    }

    // Without a mail program, Contact Support shows the address to copy.
    void contactSupportWithoutAMailProgram()
    {
        QTemporaryDir nothing;
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(nothing.path())); // no xdg-utils, no mail program
        m_app->contactSupport();
        QObject *dialog = m_window->findChild<QObject *>(QStringLiteral("supportDialog"));
        QTRY_VERIFY(dialog->property("opened").toBool());
        qputenv("PATH", path);
        QVERIFY(dialog->property("text").toString().contains(m_app->supportAddress()));
        QMetaObject::invokeMethod(dialog, "accept"); // "Copy Address"
        QCOMPARE(QGuiApplication::clipboard()->text(), m_app->supportAddress());
    }

    // An open request (another launch, the desktop) brings the window
    // forward with the items in the list.
    void openRequestsShowTheWindowWithTheItems()
    {
        m_window->hide();
        m_app->appDelegate()->openUrls({items()});
        QTRY_VERIFY(m_window->isVisible());
        QTRY_COMPARE(m_app->contentView()->files()->urls(), QList<QUrl>{items()});
    }

private:
    void open(const PackerLocation &packer)
    {
        m_engine.reset();
        m_app.reset();
        auto updater = std::make_unique<FakeUpdater>();
        m_updater = updater.get();
        m_app = std::make_unique<MainApp>(std::move(updater), packer);
        m_engine = std::make_unique<QQmlApplicationEngine>();
        m_engine->addImportPath(QStringLiteral("qrc:/"));
        m_engine->setInitialProperties({{QStringLiteral("app"), QVariant::fromValue(m_app.get())}});
        m_engine->load(QUrl(QStringLiteral("qrc:/LumbrelApp/Main.qml")));
        QVERIFY(!m_engine->rootObjects().isEmpty());
        m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
        QVERIFY(m_window);
        m_window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }

    // A folder to bundle, beside (not around) where bundles are written.
    QUrl items() const
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("items"));
        return QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("items")));
    }

    QStringList texts(const char *expression) const
    {
        auto *menuBar = m_window->findChild<QQuickItem *>(QStringLiteral("menuBar"));
        return QQmlExpression(qmlContext(menuBar), menuBar, QString::fromLatin1(expression)).evaluate().toStringList();
    }

    // The texts shown in the window that are cut short, and the controls
    // that reach past its edges.
    QStringList cutOrOutside() const
    {
        QStringList found;
        const QRectF window(QPointF(0, 0), m_window->size());
        const std::function<void(QQuickItem *)> walk = [&](QQuickItem *item) {
            if (!item->isVisible() || item->opacity() == 0)
                return;
            const QRectF shown = item->mapRectToScene(item->boundingRect());
            const QString name = item->objectName().isEmpty() ? item->property("text").toString() : item->objectName();
            if (item->property("truncated").toBool())
                found << QStringLiteral("cut: ") + name;
            if (item->inherits("QQuickControl") && !window.contains(shown.adjusted(1, 1, -1, -1)))
                found << QStringLiteral("outside: ") + name;
            for (QQuickItem *child : item->childItems())
                walk(child);
        };
        walk(m_window->contentItem());
        return found;
    }

    FakePacker m_packer;
    QTemporaryDir m_dir;
    FakeUpdater *m_updater = nullptr;
    std::unique_ptr<MainApp> m_app;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
