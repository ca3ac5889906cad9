#include "AppDelegate.h"
#include "BuildConfig.h"
#include "Desktop.h"
#include "MainApp.h"
#include "SingleInstance.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QtQml/QQmlExtensionPlugin>
#include <QQuickStyle>
#include <QUrl>

#include <cstdio>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)
Q_IMPORT_QML_PLUGIN(LumbrelAppPlugin)

namespace {
// Without a display Qt would abort with a long message; say what to do instead.
bool displayMissing()
{
#if defined(Q_OS_LINUX)
    return qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return false;
#endif
}
} // namespace

int main(int argc, char *argv[])
{
    if (displayMissing()) {
        std::fprintf(stderr, "Lumbrel needs a graphical display, and none was found (DISPLAY and WAYLAND_DISPLAY are "
                             "unset); to run it without one, start it under Xvfb: xvfb-run -a %s\n",
                     argv[0]);
        return 1;
    }

    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Lumbrel"));
    QGuiApplication::setApplicationName(QStringLiteral("Lumbrel"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Lumbrel"));
    QGuiApplication::setApplicationVersion(QString::fromUtf8(buildconfig::version));
    QGuiApplication::setDesktopFileName(QStringLiteral("app.lumbrel.Lumbrel"));
    QGuiApplication::setQuitOnLastWindowClosed(false); // closing the window only hides it
    if (qEnvironmentVariableIsEmpty("QT_QUICK_CONTROLS_STYLE"))
        QQuickStyle::setStyle(QStringLiteral("Fusion"));

    const QList<QUrl> requested = AppDelegate::urlsFromArguments(app.arguments().mid(1));
    SingleInstance instance;
    if (instance.forwardToRunning(requested))
        return 0;

    platform::quitOnTerminationSignals();
    MainApp mainApp;
    instance.listen();
    QObject::connect(&instance, &SingleInstance::activated, mainApp.appDelegate(), &AppDelegate::openUrls);

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/")); // where the static QML modules live
    engine.setInitialProperties({{QStringLiteral("app"), QVariant::fromValue(&mainApp)}});
    QObject::connect(&engine, &QQmlApplicationEngine::objectCreationFailed, &app, [] { QCoreApplication::exit(1); },
                     Qt::QueuedConnection);
    engine.load(QUrl(QStringLiteral("qrc:/LumbrelApp/Main.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    if (!requested.isEmpty())
        mainApp.appDelegate()->openUrls(requested);
    return app.exec();
}
