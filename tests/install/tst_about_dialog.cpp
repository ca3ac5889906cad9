// The About dialog as the window shows it: version, Lumbrel's licence and the
// notices generated for the package, scrollable inside the fixed window,
// closed by Escape, and readable with light and dark palettes.
#include "Contrast.h"
#include "TestFiles.h"

#include <QtQuick>
#include <QtQuickControls2/QQuickStyle>
#include <QtTest>
#include <QtQml/qqmlextensionplugin.h>

#include <functional>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)
Q_IMPORT_QML_PLUGIN(LumbrelAppPlugin)

namespace {
QList<QQuickItem *> findAll(QQuickItem *from, const std::function<bool(QQuickItem *)> &matches)
{
    QList<QQuickItem *> found;
    for (QQuickItem *child : from->childItems()) {
        if (matches(child))
            found << child;
        found << findAll(child, matches);
    }
    return found;
}
} // namespace

class AboutDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QQuickStyle::setStyle(QStringLiteral("Fusion")); } // as the application does

    void showsVersionLicenceAndNotices_data()
    {
        QTest::addColumn<QString>("palette"); // the window's palette, as QML
        QTest::newRow("light palette") << QString();
        QTest::newRow("dark palette")
            << QStringLiteral("palette { window: '#202124'; windowText: '#e8eaed'; base: '#17181a'; "
                              "text: '#e8eaed'; button: '#303134'; buttonText: '#e8eaed'; mid: '#5f6368' }");
    }
    void showsVersionLicenceAndNotices()
    {
        QFETCH(QString, palette);
        QQmlApplicationEngine engine;
        engine.addImportPath(QStringLiteral("qrc:/"));
        engine.loadData(QStringLiteral("import QtQuick\nimport QtQuick.Controls\nimport LumbrelApp\n"
                                       "ApplicationWindow { width: 400; height: 500; visible: true; %1\n"
                                       "    AboutDialog { version: '1.2.3'; anchors.centerIn: Overlay.overlay } }")
                            .arg(palette)
                            .toUtf8());
        QVERIFY(!engine.rootObjects().isEmpty());
        auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *dialog = window->findChild<QObject *>(QStringLiteral("aboutDialog"));
        QVERIFY(dialog);
        QMetaObject::invokeMethod(dialog, "open");
        QTRY_VERIFY(dialog->property("opened").toBool());

        // Everything of it lies inside the window.
        auto *frame = dialog->property("background").value<QQuickItem *>();
        const QRectF inWindow = frame->mapRectToScene(QRectF(0, 0, frame->width(), frame->height()));
        QVERIFY2(QRectF(0, 0, 400, 500).contains(inWindow), qPrintable(QDebug::toString(inWindow)));

        const QList<QQuickItem *> texts = findAll(window->contentItem(), [](QQuickItem *item) {
            return item->isVisible() && item->metaObject()->indexOfProperty("text") >= 0;
        });
        const auto textOf = [](QQuickItem *item) { return item->property("text").toString(); };
        const auto withText = [&](const QString &text) {
            return std::find_if(texts.begin(), texts.end(), [&](QQuickItem *item) { return textOf(item) == text; });
        };
        QVERIFY(withText(QStringLiteral("Version 1.2.3")) != texts.end());
        const QString ownLicence = QString::fromUtf8(readAll(QStringLiteral(LUMBREL_OWN_LICENSE))).trimmed();
        QVERIFY(!ownLicence.isEmpty());
        QVERIFY(withText(ownLicence) != texts.end());

        // The notices are the text of the generated notices file, after Lumbrel's own part.
        auto *notices = window->findChild<QQuickItem *>(QStringLiteral("notices"));
        QVERIFY(notices);
        const QString shown = notices->property("model").toStringList().join(QLatin1String("\n\n"));
        const QString generated = QString::fromUtf8(readAll(QStringLiteral(LUMBREL_NOTICES_FILE)));
        QVERIFY(shown.size() > 10000);
        QVERIFY(generated.endsWith(shown));
        QVERIFY(shown.contains(QLatin1String("\nNode.js ")));
        QVERIFY(shown.contains(QRegularExpression(QStringLiteral("\nrepomix [0-9]"))));
        // ... far taller than the room it has, so it scrolls.
        QVERIFY(notices->property("contentHeight").toReal() > 10 * notices->height());

        // Readable: every text stands out from what is behind it.
        const auto colour = [](QQuickItem *item, const char *name) { return item->property(name).value<QColor>(); };
        // The notices' paragraphs, made again each time the dialog opens.
        const auto paragraphsOf = [&] { return findAll(notices, [](QQuickItem *item) { return item->inherits("QQuickTextArea"); }); };
        const QList<QQuickItem *> paragraphs = paragraphsOf();
        QVERIFY(!paragraphs.isEmpty());
        const QColor noticesBackground = colour(notices->parentItem(), "color");
        QVERIFY2(contrast::ratio(colour(paragraphs.first(), "color"), noticesBackground) >= contrast::textRatio,
                 qPrintable(colour(paragraphs.first(), "color").name() + " on " + noticesBackground.name()));
        const QColor dialogBackground = colour(frame, "color");
        for (QQuickItem *label : texts) {
            if (!label->inherits("QQuickLabel"))
                continue;
            QVERIFY2(contrast::ratio(colour(label, "color"), dialogBackground) >= contrast::textRatio,
                     qPrintable(textOf(label).left(40) + ": " + colour(label, "color").name() + " on "
                                + dialogBackground.name()));
        }

        // Escape closes it at once, and again when the notices have the keyboard.
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY(!dialog->property("visible").toBool());
        QMetaObject::invokeMethod(dialog, "open");
        QTRY_VERIFY(dialog->property("opened").toBool());
        QTRY_VERIFY(!paragraphsOf().isEmpty());
        paragraphsOf().first()->forceActiveFocus();
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY(!dialog->property("visible").toBool());
    }
};

QTEST_MAIN(AboutDialogTest)
#include "tst_about_dialog.moc"
