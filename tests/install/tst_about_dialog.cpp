// The About dialog as the window shows it: version, Lumbrel's licence and the
// notices generated for the package, scrollable inside the fixed window,
// closed by Escape, and readable with light and dark palettes.
#include "Contrast.h"
#include "TestFiles.h"

#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickControls2/QQuickStyle>

#include <functional>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)
Q_IMPORT_QML_PLUGIN(LumbrelAppPlugin)
Q_IMPORT_QML_PLUGIN(LumbrelUpdatesPlugin)

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
        const QRectF inWindow = frame->mapRectToScene(frame->boundingRect());
        QVERIFY2(QRectF(0, 0, 400, 500).contains(inWindow), qPrintable(QDebug::toString(inWindow)));

        // Every label reads on the dialog's background.
        const auto colour = [](QQuickItem *item) { return item->property("color").value<QColor>(); };
        const auto ratio = [&](QQuickItem *text, QQuickItem *behind) { return contrast::ratio(colour(text), colour(behind)); };
        QStringList texts;
        for (QQuickItem *label : findAll(window->contentItem(), [](QQuickItem *item) {
                 return item->isVisible() && item->inherits("QQuickLabel");
             })) {
            texts << label->property("text").toString();
            QVERIFY2(ratio(label, frame) >= contrast::textRatio, qPrintable(texts.last().left(40) + ": " + colour(label).name()));
        }
        QVERIFY(texts.contains(QStringLiteral("Version 1.2.3")));
        const QString ownLicence = QString::fromUtf8(readAll(QStringLiteral(LUMBREL_OWN_LICENSE))).trimmed();
        QVERIFY(!ownLicence.isEmpty() && texts.contains(ownLicence));

        // The notices are the text of the generated notices file, after Lumbrel's own part,
        // far taller than the room they have, so they scroll; their paragraphs read too.
        auto *notices = window->findChild<QQuickItem *>(QStringLiteral("notices"));
        QVERIFY(notices);
        const QString shown = notices->property("model").toStringList().join(QLatin1String("\n\n"));
        QVERIFY(shown.size() > 10000);
        QVERIFY(QString::fromUtf8(readAll(QStringLiteral(LUMBREL_NOTICES_FILE))).endsWith(shown));
        QVERIFY(shown.contains(QLatin1String("\nNode.js ")));
        QVERIFY(shown.contains(QRegularExpression(QStringLiteral("\nrepomix [0-9]"))));
        QVERIFY(notices->property("contentHeight").toReal() > 10 * notices->height());
        // The paragraphs are made again each time the dialog opens.
        const auto paragraphsOf = [&] { return findAll(notices, [](QQuickItem *item) { return item->inherits("QQuickTextArea"); }); };
        QQuickItem *paragraph = paragraphsOf().value(0);
        QVERIFY(paragraph);
        QVERIFY2(ratio(paragraph, notices->parentItem()) >= contrast::textRatio, qPrintable(colour(paragraph).name()));

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
