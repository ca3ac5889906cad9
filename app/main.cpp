#include "AppDelegate.h"
#include "BuildConfig.h"
#include "BundleOptions.h"
#include "Desktop.h"
#include "CommandLine.h"
#include "HeadlessBundle.h"
#include "Log.h"
#include "MainApp.h"
#include "PrivateArea.h"
#include "SingleInstance.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QTextStream>
#include <QThreadPool>
#include <QUrl>
#include <QtQml/QQmlExtensionPlugin>

#include <cstdio>
#include <functional>
#include <memory>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)
Q_IMPORT_QML_PLUGIN(LumbrelAppPlugin)
Q_IMPORT_QML_PLUGIN(LumbrelUpdatesPlugin)

namespace {
void nameApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Lumbrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Lumbrel"));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(buildconfig::version));
}

// Without a display Qt would abort with a long message; the window says what
// to do instead, and the command line goes without a clipboard.
bool hasDisplay()
{
#if defined(Q_OS_LINUX)
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

// Staging copies and scratch files of earlier runs that ended without
// cleaning up (a crash, SIGKILL, a power cut) go, unless their owner still runs.
void sweepLeftovers()
{
    const PrivateArea::Sweep swept = PrivateArea::sweepStale();
    if (swept.removed > 0)
        logLine(QStringLiteral("Removed what %1 left behind (%2)")
                    .arg(swept.removed == 1 ? QStringLiteral("an earlier run") : QStringLiteral("%1 earlier runs").arg(swept.removed))
                    .arg(QLocale::c().formattedDataSize(swept.bytes)));
}

// Work on the command line needs no display: the help, the version, and a
// bundle or estimate made without a window. A clipboard is used where there
// is a display for one.
int runCommandLine(int argc, char *argv[], const CommandLine &command)
{
    const bool clipboard = command.copy && hasDisplay();
    std::unique_ptr<QCoreApplication> app = clipboard ? std::make_unique<QGuiApplication>(argc, argv)
                                                      : std::make_unique<QCoreApplication>(argc, argv);
    nameApplication();
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (command.mode) {
    case CommandLine::Mode::Help:
        out << CommandLine::helpText();
        return 0;
    case CommandLine::Mode::Version:
        out << "lumbrel " << QCoreApplication::applicationVersion() << "\n";
        return 0;
    default:
        break;
    }
    logToStandardError(true); // standard output carries the result
    logArguments(command.verbose);
    sweepLeftovers();
    BundleOptions options; // the stored options, for all that is not given
    if (!options.storeProblem().isEmpty())
        err << "lumbrel: " << options.storeProblem() << "\n";
    std::function<void(const QString &)> copyText;
    if (clipboard)
        copyText = [](const QString &text) { QGuiApplication::clipboard()->setText(text); };
    const int status = runHeadless(command, options, PackerLocation::bundled(), out, err, copyText);
    PrivateArea::endSession();
    return status;
}

int runWindow(QGuiApplication &app, SingleInstance &instance, const QList<QUrl> &requested);

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = CommandLine::parse(arguments);
    if (command.mode == CommandLine::Mode::Error) {
        std::fprintf(stderr, "lumbrel: %s\n", qPrintable(command.error));
        return 2;
    }
    if (command.mode != CommandLine::Mode::Window)
        return runCommandLine(argc, argv, command);
    if (!hasDisplay()) {
        std::fprintf(stderr, "Lumbrel needs a graphical display, and none was found (DISPLAY and WAYLAND_DISPLAY are "
                             "unset); to run it without one, start it under Xvfb: xvfb-run -a %s\n"
                             "To bundle without a window: %s --bundle OUTPUT PATH...\n",
                     argv[0], argv[0]);
        return 1;
    }

    QGuiApplication app(argc, argv);
    nameApplication();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Lumbrel"));
    QGuiApplication::setDesktopFileName(QStringLiteral("app.lumbrel.Lumbrel"));
    QGuiApplication::setQuitOnLastWindowClosed(false); // closing the window only hides it
    if (qEnvironmentVariableIsEmpty("QT_QUICK_CONTROLS_STYLE"))
        QQuickStyle::setStyle(QStringLiteral("Fusion"));

    const QList<QUrl> requested = AppDelegate::urlsFromArguments(command.paths);
    SingleInstance instance;
    if (instance.forwardToRunning(requested))
        return 0;

    platform::quitOnTerminationSignals();
    QThreadPool::globalInstance()->start(sweepLeftovers);
    const int status = runWindow(app, instance, requested);
    QThreadPool::globalInstance()->waitForDone();
    PrivateArea::endSession();
    return status;
}

namespace {
int runWindow(QGuiApplication &app, SingleInstance &instance, const QList<QUrl> &requested)
{
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
    const int status = app.exec();
    // The window is taken apart next: what leaves it then is not news for
    // assistive technology, and telling it about items half destroyed can crash.
    QAccessible::installUpdateHandler([](QAccessibleEvent *) {});
    return status;
}
} // namespace
