#include "AppDelegate.h"
#include "BuildConfig.h"
#include "BundleOptions.h"
#include "Desktop.h"
#include "HeadlessBundle.h"
#include "Log.h"
#include "MainApp.h"
#include "PrivateArea.h"
#include "SingleInstance.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QLocale>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QTextStream>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QtQml/QQmlExtensionPlugin>

#include <cstdio>
#include <cstring>

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

// Work on the command line needs no display: the help, the version and a
// bundle made without a window.
bool wantsCommandLine(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--bundle=", 9) == 0)
            return true;
        for (const char *option : {"--bundle", "-h", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

int runCommandLine(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    nameApplication();
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Bundles files and folders into one text file for an AI assistant.\n"
        "Without --bundle, opens the window with the given files and folders in its list."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption bundle(QStringLiteral("bundle"),
                                    QStringLiteral("Bundles the PATHs into OUTPUT without a window, prints the totals "
                                                   "and what was left out, and exits (0 on success)."),
                                    QStringLiteral("OUTPUT"));
    const QCommandLineOption style(QStringLiteral("style"),
                                   QStringLiteral("With --bundle: the output style, plain, xml or markdown "
                                                  "(default: the one chosen in the window)."),
                                   QStringLiteral("STYLE"));
    const QCommandLineOption ignore(QStringLiteral("ignore"),
                                    QStringLiteral("With --bundle: comma-separated patterns of files to leave out."),
                                    QStringLiteral("PATTERNS"));
    parser.addOptions({bundle, style, ignore});
    parser.addPositionalArgument(QStringLiteral("PATH"), QStringLiteral("Files and folders to bundle."),
                                 QStringLiteral("[PATH...]"));
    parser.process(app); // answers --help and --version itself

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!parser.isSet(bundle)) {
        err << "lumbrel: --style and --ignore go with --bundle\n";
        return 2;
    }
    logToStandardError(true); // standard output carries the result
    sweepLeftovers();
    HeadlessBundle job;
    job.output = parser.value(bundle);
    job.paths = parser.positionalArguments();
    if (parser.isSet(style))
        job.style = parser.value(style);
    if (parser.isSet(ignore))
        job.ignorePatterns = parser.value(ignore);
    BundleOptions options; // the stored options, for all that is not given
    const int status = job.run(options, PackerLocation::bundled(), out, err);
    PrivateArea::endSession();
    return status;
}

int runWindow(QGuiApplication &app, SingleInstance &instance, const QList<QUrl> &requested);

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
    if (wantsCommandLine(argc, argv))
        return runCommandLine(argc, argv);
    if (displayMissing()) {
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

    const QList<QUrl> requested = AppDelegate::urlsFromArguments(app.arguments().mid(1));
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
    // The warm packer loads in the background once the first frame is on its way.
    QTimer::singleShot(0, &mainApp, [&mainApp] { mainApp.contentView()->repomix().startService(); });
    if (!requested.isEmpty())
        mainApp.appDelegate()->openUrls(requested);
    return app.exec();
}
} // namespace
