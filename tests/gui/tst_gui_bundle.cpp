// A whole bundle through the application's window with the bundled packer,
// driven by the keyboard alone: add a folder, change the format, start, save,
// and land on the completion screen with a bundle on disk.
#include "MainApp.h"
#include "TestFiles.h"
#include "Updater.h"

#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickControls2/QQuickStyle>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)
Q_IMPORT_QML_PLUGIN(LumbrelAppPlugin)
Q_IMPORT_QML_PLUGIN(LumbrelUpdatesPlugin)

namespace {
class NoUpdater : public Updater
{
public:
    bool canCheckForUpdates() const override { return false; }
    void checkForUpdates() override {}
};
} // namespace

class GuiBundleTest : public QObject
{
    Q_OBJECT

private slots:
    void wholeBundleWithTheKeyboardAlone()
    {
        QTemporaryDir home;
        qputenv("HOME", QFile::encodeName(home.path()));
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
        QCoreApplication::setOrganizationName(QStringLiteral("Lumbrel")); // where the options are stored, as in the application
        for (const char *file : {"project/README.md", "project/src/main.c", "project/src/util.c"})
            writeFile(home.filePath(file).toStdString(), "Made for Repomix users; int answer = 42;\n");

        MainApp app(std::make_unique<NoUpdater>());
        QQmlApplicationEngine engine;
        engine.addImportPath(QStringLiteral("qrc:/"));
        engine.setInitialProperties({{QStringLiteral("app"), QVariant::fromValue(&app)}});
        engine.load(QUrl(QStringLiteral("qrc:/LumbrelApp/Main.qml")));
        QVERIFY(!engine.rootObjects().isEmpty());
        m_window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        ContentView &view = *app.contentView();
        view.options()->resetToDefaults(); // whatever an earlier run stored

        // Ctrl+O asks for a folder: its parent is typed into the dialog's
        // location field, the folder is the one highlighted in its list.
        key(Qt::Key_O, Qt::ControlModifier);
        QObject *folderDialog = m_window->findChild<QObject *>(QStringLiteral("addFolderDialog"));
        QTRY_VERIFY(folderDialog->property("visible").toBool());
        key(Qt::Key_L, Qt::ControlModifier);
        key(Qt::Key_A, Qt::ControlModifier);
        type(home.path());
        key(Qt::Key_Return);
        QTRY_COMPARE(folderDialog->property("currentFolder").toUrl(), urlOf(home.path().toStdString()));
        QVERIFY(tabTo("Open", "text"));
        key(Qt::Key_Space);
        QTRY_COMPARE(view.files()->urls(), QList<QUrl>{urlOf(home.filePath("project").toStdString())});
        QTRY_COMPARE_WITH_TIMEOUT(view.totalFiles(), 3, 60000);

        // The gear, then the format picker, by Tab; the picker, not the list,
        // takes the arrow; Escape closes the settings.
        QVERIFY(tabTo("settingsButton"));
        key(Qt::Key_Return);
        QTRY_VERIFY(view.showSettings());
        QVERIFY(tabTo("stylePicker"));
        const QUrl current = view.selectionState()->selectedFile();
        key(Qt::Key_Down);
        QCOMPARE(view.options()->value("style"), QStringLiteral("xml"));
        QCOMPARE(view.selectionState()->selectedFile(), current);
        key(Qt::Key_Escape);
        QVERIFY(!view.showSettings());

        // Start, then Return in the save dialog takes the proposed name.
        QTRY_VERIFY_WITH_TIMEOUT(!view.estimatesManager()->isEstimating(), 60000);
        QVERIFY(tabTo("startButton"));
        key(Qt::Key_Enter, Qt::KeypadModifier);
        QObject *saveDialog = m_window->findChild<QObject *>(QStringLiteral("saveDialog"));
        QTRY_VERIFY(saveDialog->property("visible").toBool());
        QTRY_COMPARE(focused()->objectName(), QStringLiteral("fileNameTextField"));
        key(Qt::Key_Return);

        QTRY_COMPARE_WITH_TIMEOUT(view.job()->screen(), BundleJob::Screen::Completed, 60000);
        QVERIFY2(!view.showAlert(), qPrintable(view.alertMessage()));
        const QString bundle = home.filePath("bundled-output.xml");
        QCOMPARE(view.outputFile(), QUrl::fromLocalFile(bundle));
        const QByteArray text = readAll(bundle);
        QVERIFY(text.contains("<file path=\"project/src/main.c\">"));
        QVERIFY(text.contains("by Lumbrel.")); // the packer's header is branded
        QVERIFY(text.contains("Made for Repomix users")); // the user's text is not
        QCOMPARE(view.totalFiles(), 3);

        // The completion screen has the focus, on Copy: Space there copies
        // rather than emptying the list; Escape goes back to the list.
        QTRY_COMPARE(focused()->objectName(), QStringLiteral("copyButton"));
        key(Qt::Key_Space);
        QTRY_COMPARE(view.clipboard()->state(), BundleClipboard::State::Copied);
        QCOMPARE(focused()->objectName(), QStringLiteral("copyButton")); // the ring stays
        key(Qt::Key_Escape);
        QTRY_COMPARE(view.job()->screen(), BundleJob::Screen::Normal);
        QCOMPARE(view.files()->count(), 1);
    }

private:
    QQuickItem *focused() const { return m_window->activeFocusItem(); }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { QTest::keyClick(m_window, Qt::Key(key), modifiers); }
    void type(const QString &text)
    {
        for (const QChar c : text)
            QTest::keyClick(m_window, c.toLatin1());
    }
    // Tabs until the focused item's `property` reads `value` (or gives up after a lap).
    bool tabTo(const char *value, const char *property = "objectName")
    {
        for (int i = 0; i < 30; ++i) {
            if (focused() && focused()->property(property).toString() == QLatin1String(value))
                return true;
            key(Qt::Key_Tab);
        }
        qWarning() << "focus stayed on" << focused();
        return false;
    }

    QQuickWindow *m_window = nullptr;
};

QTEST_MAIN(GuiBundleTest)
#include "tst_gui_bundle.moc"
