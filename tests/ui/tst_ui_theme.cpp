// Every text and symbol of the views reads on the background it is drawn on,
// in a light and in dark desktop palettes.
#include "BundleOptions.h"
#include "Contrast.h"
#include "Scene.h"

#include <QGuiApplication>
#include <QPalette>
#include <QQmlExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickControls2/QQuickStyle>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)

namespace {
struct Colours
{
    const char *window, *windowText, *base, *text, *button, *highlight, *highlightedText;
};

QPalette palette(const Colours &c)
{
    QPalette palette(QColor(c.button), QColor(c.window));
    palette.setColor(QPalette::WindowText, QColor(c.windowText));
    palette.setColor(QPalette::Base, QColor(c.base));
    palette.setColor(QPalette::Text, QColor(c.text));
    palette.setColor(QPalette::ButtonText, QColor(c.text));
    palette.setColor(QPalette::Highlight, QColor(c.highlight));
    palette.setColor(QPalette::HighlightedText, QColor(c.highlightedText));
    return palette;
}
const Colours light{"#efefef", "#000000", "#ffffff", "#000000", "#efefef", "#308cc6", "#ffffff"};
const Colours dark{"#222020", "#ffffff", "#3d3d3d", "#ffffff", "#424245", "#12608a", "#f9f9f9"};

// The views on the window, and two rows (one selected) on the list's background.
const char *const scene = R"(
Column {
    id: root
    required property QtObject options
    required property url folder
    readonly property color windowColour: Theme.window
    readonly property color listColour: Theme.base
    readonly property color selectedColour: Theme.selection
    width: 400
    Item {
        objectName: "onWindow"
        width: 400
        height: childrenRect.height
        Column {
            StatusBarView { width: 400; totalFiles: 1; totalChars: 1234 }
            WavingBackground { width: 400; height: 260 }
            GrowingButton { width: 300; text: "Start bundling" }
            CompletionView { objectName: "completion"; width: 400; height: 500; outputFile: "file:///tmp/x.txt" }
            SettingsView { options: root.options }
        }
    }
    Rectangle {
        objectName: "onList"
        width: 400
        height: 60
        color: Theme.base
        FileRow { width: 400; file: root.folder }
    }
    Rectangle {
        objectName: "onSelection"
        width: 400
        height: 60
        color: Theme.base
        FileRow { width: 400; file: root.folder; selected: true }
    }
}
)";

qreal effectiveOpacity(const QQuickItem *item)
{
    qreal opacity = 1;
    for (; item; item = item->parentItem())
        opacity *= item->opacity();
    return opacity;
}

// What a text item stands on: the background of the nearest control that
// paints one, or else `fallback`. Controls with gradients (the toolkit's push
// buttons) paint their own pair and are left out (invalid colour).
QColor backgroundOf(const QQuickItem *text, const QColor &fallback, QQuickItem *top)
{
    for (const QQuickItem *item = text->parentItem(); item && item != top; item = item->parentItem()) {
        if (!item->inherits("QQuickControl"))
            continue;
        const auto *background = item->property("background").value<QQuickItem *>();
        if (!background || !background->isVisible())
            continue;
        if (!background->inherits("QQuickRectangle"))
            return {};
        if (background->property("gradient").value<QObject *>())
            return {};
        const QColor colour = background->property("color").value<QColor>();
        if (colour.alpha() > 0)
            return contrast::over(colour, fallback);
    }
    return fallback;
}

// The texts below `top` whose contrast with their background falls short.
QStringList illegible(QQuickItem *top, const QColor &background)
{
    QStringList found;
    const std::function<void(QQuickItem *)> walk = [&](QQuickItem *item) {
        for (QQuickItem *child : item->childItems()) {
            if (!child->isVisible() || effectiveOpacity(child) == 0)
                continue;
            walk(child);
            if (!child->inherits("QQuickText"))
                continue;
            const QColor behind = backgroundOf(child, background, top);
            if (!behind.isValid())
                continue;
            const QFont font = child->property("font").value<QFont>();
            const bool symbol = QString::fromLatin1(child->metaObject()->className()).startsWith("SymbolIcon");
            // Large text by the same measure: 18 points, or 14 in bold.
            const bool large = font.pointSizeF() >= 18 || (font.bold() && font.pointSizeF() >= 14);
            const qreal minimum = symbol || large ? contrast::largeRatio : contrast::textRatio;
            const QColor colour = contrast::over(child->property("color").value<QColor>(), behind);
            const qreal ratio = contrast::ratio(colour, behind);
            if (ratio < minimum) {
                found << QStringLiteral("%1 \"%2\" %3 on %4: %5:1, wants %6:1")
                             .arg(QString::fromLatin1(child->metaObject()->className()), child->property("text").toString(),
                                  colour.name(), behind.name())
                             .arg(ratio, 0, 'f', 2)
                             .arg(minimum);
            }
        }
    };
    walk(top);
    return found;
}
} // namespace

class UiThemeTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
        m_original = QGuiApplication::palette();
    }
    void cleanup() { QGuiApplication::setPalette(m_original); }

    void everyTextReadsOnItsBackground_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << palette(light);
        QTest::newRow("dark") << palette(dark);
        // A dark desktop theme that keeps the light one's highlight.
        QTest::newRow("dark, light highlight")
            << palette({"#323232", "#f0f0f0", "#242424", "#f0f0f0", "#353535", "#308cc6", "#f0f0f0"});
    }

    void everyTextReadsOnItsBackground()
    {
        QFETCH(QPalette, palette);
        QGuiApplication::setPalette(palette);
        QTemporaryDir dir;
        QVERIFY(QFile(dir.filePath("only.txt")).open(QIODevice::WriteOnly));
        QSettings store(dir.filePath("options.ini"), QSettings::IniFormat);
        BundleOptions options(&store);
        Scene view(scene,
                   {{"options", QVariant::fromValue<QObject *>(&options)}, {"folder", QUrl::fromLocalFile(dir.path())}},
                   {400, 1700});
        const auto colour = [&](const char *name) { return view.root->property(name).value<QColor>(); };
        QCOMPARE(colour("windowColour"), palette.color(QPalette::Window)); // the desktop's, not a style's own
        QTRY_COMPARE(view.child("bundleMoreButton")->opacity(), 1.0);     // after the entrance
        QTRY_VERIFY(view.child("itemCountText")->opacity() == 1.0);

        const QStringList findings = illegible(view.child("onWindow"), colour("windowColour"))
            + illegible(view.child("onList"), colour("listColour"))
            + illegible(view.child("onSelection"), contrast::over(colour("selectedColour"), colour("listColour")));
        QVERIFY2(findings.isEmpty(), qPrintable(findings.join(u'\n')));
    }

    void themeFollowsAChangeOfTheDesktopPalette()
    {
        QGuiApplication::setPalette(palette(light));
        Scene view("Item { readonly property color text: Theme.text; palette: Theme.palette }");
        QCOMPARE(view.root->property("text").value<QColor>(), QColor(Qt::black));
        QGuiApplication::setPalette(palette(dark));
        QTRY_COMPARE(view.root->property("text").value<QColor>(), QColor(Qt::white));
        // The controls' palette follows too.
        QQmlExpression window(qmlContext(view.root.get()), view.root.get(), QStringLiteral("palette.window"));
        QCOMPARE(window.evaluate().value<QColor>(), QColor(dark.window));
    }

private:
    QPalette m_original;
};

QTEST_MAIN(UiThemeTest)
#include "tst_ui_theme.moc"
