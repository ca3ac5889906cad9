#include "MainScreen.h"

#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)

// A whole bundle on the main screen with the bundled packer: start, save
// dialog, a branded bundle, completion screen.
class GuiBundleTest : public QObject
{
    Q_OBJECT

private slots:
    void bundleEndsOnTheCompletionScreen();
};

void GuiBundleTest::bundleEndsOnTheCompletionScreen()
{
    MainScreen screen(PackerLocation{QStringLiteral(LUMBREL_TEST_RUNTIME), QStringLiteral(LUMBREL_TEST_SCRIPT)});
    QVERIFY(screen.ready());
    screen.fixture({"project/README.md", "project/src/main.c", "project/src/util.c"});
    QFile readme(screen.dir.filePath("project/README.md"));
    QVERIFY(readme.open(QIODevice::Append));
    readme.write("Made for Repomix users and repomix fans.\n");
    readme.close();
    screen.drop({screen.url("project")});
    QQuickItem *start = screen.item("startButton");
    // The estimate runs first; the button waits for it.
    QTRY_VERIFY_WITH_TIMEOUT(screen.view.totalFiles() == 3 && start->isEnabled(), 60000);

    screen.click(start);
    screen.save(); // the proposed file, in the private home
    QTRY_VERIFY_WITH_TIMEOUT(!screen.view.isProcessing(), 60000);
    QVERIFY2(!screen.view.showAlert(), qPrintable(screen.view.alertMessage()));
    QCOMPARE(screen.view.outputFile(), screen.url("bundled-output.txt"));
    QFile bundle(screen.dir.filePath("bundled-output.txt"));
    QVERIFY(bundle.open(QIODevice::ReadOnly));
    const QByteArray text = bundle.readAll();
    QVERIFY(text.contains("Made for Lumbrel users and Lumbrel fans."));
    QVERIFY(!text.contains("Repomix") && !text.contains("repomix"));

    QTRY_VERIFY(screen.shown("completion"));
    QTRY_VERIFY(!screen.shown("normalContent"));
    QCOMPARE(screen.item("fileNameText")->property("text").toString(), QStringLiteral("bundled-output.txt"));
    QVERIFY(screen.view.totalChars() > 0 && screen.view.estimatedTokens() > 0);
    const QLocale locale;
    for (const QString &total : {QStringLiteral("3 files"), locale.toString(screen.view.totalChars()) + " characters",
                                 locale.toString(screen.view.estimatedTokens()) + " tokens"})
        QVERIFY2(!screen.withText(screen.item("totals"), total).isEmpty(), qPrintable(total));
}

QTEST_MAIN(GuiBundleTest)
#include "tst_gui_bundle.moc"
