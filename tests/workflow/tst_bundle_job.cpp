// The whole bundle job with the bundled packer: a tree in, a branded bundle out.
#include "ContentView.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class BundleJobTest : public QObject
{
    Q_OBJECT

private slots:
    void packsAndBrandsATree()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath("project/src");
        QFile source(dir.filePath("project/src/tool.py"));
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write("print('Made for Repomix users and repomix fans')\n");
        source.close();
        QFile readme(dir.filePath("project/README.md"));
        QVERIFY(readme.open(QIODevice::WriteOnly));
        readme.write("# Project\n");
        readme.close();

        QSettings store(dir.filePath("prefs.ini"), QSettings::IniFormat);
        BundleOptions options(&store);
        ContentView view(&options, PackerLocation{LUMBREL_TEST_RUNTIME, LUMBREL_TEST_SCRIPT});
        view.addFile(QUrl::fromLocalFile(dir.filePath("project")));
        view.updateEstimates();
        QTRY_VERIFY_WITH_TIMEOUT(!view.estimatesManager()->isEstimating(), 60000);
        QCOMPARE(view.totalFiles(), 2);

        const QUrl destination = QUrl::fromLocalFile(dir.filePath("out/bundled-output.txt"));
        QDir(dir.path()).mkpath("out");
        view.saveDialogFinished(destination);
        QTRY_VERIFY_WITH_TIMEOUT(!view.isProcessing(), 60000);
        QVERIFY2(!view.showAlert(), qPrintable(view.alertMessage()));
        QCOMPARE(view.outputFile(), destination);
        QCOMPARE(view.totalFiles(), 2);
        QVERIFY(view.totalChars() > 0);
        QVERIFY(view.estimatedTokens() > 0);

        QFile bundle(destination.toLocalFile());
        QVERIFY(bundle.open(QIODevice::ReadOnly));
        const QByteArray text = bundle.readAll();
        QVERIFY(text.contains("Made for Lumbrel users and Lumbrel fans"));
        QVERIFY(!text.contains("Repomix"));
        QVERIFY(!text.contains("repomix"));
    }
};

QTEST_GUILESS_MAIN(BundleJobTest)
#include "tst_bundle_job.moc"
