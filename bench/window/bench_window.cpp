// The window: time to the first frame, resident memory with a long list, and
// frame intervals while a very long list scrolls. Each measurement runs in a
// fresh process (this program started again with a mode argument), so every
// start is a real start and every memory figure belongs to one window.

#include "MainApp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QProcess>
#include <QPropertyAnimation>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <QtQml/QQmlExtensionPlugin>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <mutex>
#include <unistd.h>
#include <vector>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)
Q_IMPORT_QML_PLUGIN(LumbrelAppPlugin)

namespace {

constexpr int firstFrameRuns = 7;
constexpr int memoryRuns = 5;
constexpr int scrollRuns = 3;
constexpr int memoryEntries = 1000;
constexpr int scrollEntries = 10000;
constexpr int scrollMilliseconds = 15000;
constexpr double frameTargetMs = 50;

double clockSeconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Seconds since this process started, from its start time in /proc (in clock
// ticks since boot, so the resolution is one tick, 10 ms on most systems).
double secondsSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Field 22; the fields after the command name (which may hold spaces) start after ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double start = fields.value(19).toDouble() / double(sysconf(_SC_CLK_TCK));
    return clockSeconds(CLOCK_BOOTTIME) - start;
}

double residentMiB(const char *field = "VmRSS:")
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// Results go to standard error as "@name value" lines; standard output
// carries the application's log.
void result(const char *name, double value)
{
    std::fprintf(stderr, "@%s %.6f\n", name, value);
}
void note(const char *name, const QByteArray &text)
{
    std::fprintf(stderr, "@%s %s\n", name, text.constData());
}

// Runs the event loop until `done` holds or `seconds` pass; false on timeout.
bool waitUntil(const std::function<bool()> &done, double seconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > seconds * 1000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void idle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QQuickItem *findItem(QQuickItem *from, const QString &name)
{
    for (QQuickItem *child : from->childItems()) {
        if (child->objectName() == name)
            return child;
        if (QQuickItem *found = findItem(child, name))
            return found;
    }
    return nullptr;
}

QList<QUrl> entries(const QString &folder)
{
    QList<QUrl> urls;
    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    for (const QString &name : names)
        urls << QUrl::fromLocalFile(QDir(folder).filePath(name));
    return urls;
}

// ---- The application's window, as main.cpp builds it ------------------------

struct AppWindow
{
    MainApp app;
    QQmlApplicationEngine engine;
    QQuickWindow *window = nullptr;

    AppWindow()
    {
        engine.addImportPath(QStringLiteral("qrc:/"));
        engine.setInitialProperties({{QStringLiteral("app"), QVariant::fromValue(&app)}});
        engine.load(QUrl(QStringLiteral("qrc:/LumbrelApp/Main.qml")));
        if (!engine.rootObjects().isEmpty())
            window = qobject_cast<QQuickWindow *>(engine.rootObjects().constFirst());
        if (!window)
            qFatal("the window did not load");
    }
};

void setUpApplication()
{
    QGuiApplication::setOrganizationName(QStringLiteral("Lumbrel"));
    QGuiApplication::setApplicationName(QStringLiteral("Lumbrel"));
    QGuiApplication::setQuitOnLastWindowClosed(false);
    if (qEnvironmentVariableIsEmpty("QT_QUICK_CONTROLS_STYLE"))
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
}

int measureFirstFrame(QGuiApplication &application)
{
    setUpApplication();
    std::once_flag once;
    AppWindow scene;
    QObject::connect(
        scene.window, &QQuickWindow::frameSwapped, scene.window,
        [&] {
            std::call_once(once, [&] {
                result("first_frame_since_start", secondsSinceProcessStart());
                result("first_frame_monotonic", clockSeconds(CLOCK_MONOTONIC));
                // exit, not quit: quit asks the window to close, and it only hides.
                QMetaObject::invokeMethod(&application, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
            });
        },
        Qt::DirectConnection);
    return application.exec();
}

int measureMemory(const QString &folder)
{
    setUpApplication();
    AppWindow scene;
    int frames = 0;
    QObject::connect(scene.window, &QQuickWindow::frameSwapped, scene.window, [&] { ++frames; },
                     Qt::QueuedConnection);
    if (!waitUntil([&] { return frames > 0; }, 30))
        return 2;
    idle(1000);
    result("rss_empty", residentMiB());

    ContentView *view = scene.app.contentView();
    const QList<QUrl> urls = entries(folder);
    view->handleDrop(urls);
    // The drop refreshes the estimate after half a second; it has settled
    // when the totals of all entries are in and nothing is estimating.
    if (!waitUntil([&] { return view->totalFiles() == urls.size() && !view->estimatesManager()->isEstimating(); },
                   300))
        return 3;
    idle(1500); // rows counted and drawn, nothing left to do
    result("rss_list", residentMiB());
    result("rss_peak", residentMiB("VmHWM:"));
    return 0;
}

// The main screen (ContentView.qml with its C++ view) in a window of the
// application's size; the stand-in packer keeps the estimate out of the way.
int measureScroll(const QString &folder, const QString &fakePacker)
{
    setUpApplication();
    BundleOptions options;
    ContentView view(&options, PackerLocation{QStringLiteral("/bin/sh"), fakePacker});
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    QQuickWindow window;
    window.resize(400, 500);
    QQmlComponent component(&engine);
    component.setData("import Lumbrel\nContentView {}", QUrl(QStringLiteral("qrc:/bench/Screen.qml")));
    std::unique_ptr<QQuickItem> root(qobject_cast<QQuickItem *>(component.beginCreate(engine.rootContext())));
    if (!root)
        qFatal("the main screen did not load: %s", qPrintable(component.errorString()));
    component.setInitialProperties(root.get(), {{QStringLiteral("view"), QVariant::fromValue<QObject *>(&view)}});
    root->setParentItem(window.contentItem());
    component.completeCreate();
    root->setSize(window.size());

    QObject::connect(
        &window, &QQuickWindow::afterRendering, &window,
        [&window] {
            static std::once_flag once;
            std::call_once(once, [&window] {
                QByteArray renderer = "graphics API " + QByteArray::number(int(window.rendererInterface()->graphicsApi()));
                if (QOpenGLContext *context = QOpenGLContext::currentContext())
                    renderer = "OpenGL: " + QByteArray(reinterpret_cast<const char *>(context->functions()->glGetString(GL_RENDERER)));
                note("renderer", renderer);
            });
        },
        Qt::DirectConnection);

    std::mutex mutex;
    std::vector<double> swaps;
    bool recording = false;
    QObject::connect(
        &window, &QQuickWindow::frameSwapped, &window,
        [&] {
            const std::lock_guard lock(mutex);
            if (recording)
                swaps.push_back(clockSeconds(CLOCK_MONOTONIC));
        },
        Qt::DirectConnection);

    window.show();
    const QList<QUrl> urls = entries(folder);
    view.handleDrop(urls);
    if (!waitUntil([&] { return view.totalFiles() > 0 && !view.estimatesManager()->isEstimating(); }, 60))
        return 3;
    QQuickItem *list = findItem(window.contentItem(), QStringLiteral("fileList"));
    if (!list || list->property("count").toInt() != urls.size())
        return 4;
    idle(500);

    // Where the list starts and ends (all rows have the same height).
    QMetaObject::invokeMethod(list, "positionViewAtEnd");
    const qreal bottom = list->property("contentY").toReal();
    QMetaObject::invokeMethod(list, "positionViewAtBeginning");
    const qreal top = list->property("contentY").toReal();
    idle(500);

    QPropertyAnimation scroll(list, "contentY");
    scroll.setStartValue(top);
    scroll.setEndValue(bottom);
    scroll.setDuration(scrollMilliseconds);
    {
        const std::lock_guard lock(mutex);
        recording = true;
    }
    scroll.start();
    if (!waitUntil([&] { return scroll.state() == QAbstractAnimation::Stopped; }, scrollMilliseconds / 1000.0 * 4))
        return 5;
    {
        const std::lock_guard lock(mutex);
        recording = false;
    }
    // The end was computed before the rows below were ever laid out; the
    // last row must be on screen all the same.
    int lastShown = -1;
    QMetaObject::invokeMethod(list, "indexAt", Q_RETURN_ARG(int, lastShown), Q_ARG(qreal, 20),
                              Q_ARG(qreal, list->property("contentY").toReal() + list->height() - 4));
    if (swaps.size() < 2)
        return 6;
    result("last_row_shown", lastShown);

    std::vector<double> intervals;
    for (size_t i = 1; i < swaps.size(); ++i)
        intervals.push_back((swaps[i] - swaps[i - 1]) * 1000);
    std::sort(intervals.begin(), intervals.end());
    result("scroll_pixels", bottom - top);
    result("scroll_seconds", swaps.back() - swaps.front());
    result("frames", double(swaps.size()));
    result("interval_median", intervals[intervals.size() / 2]);
    result("interval_p99", intervals[std::min(intervals.size() - 1, size_t(double(intervals.size()) * 0.99))]);
    result("interval_max", intervals.back());
    result("intervals_over_target",
           double(std::count_if(intervals.begin(), intervals.end(), [](double ms) { return ms > frameTargetMs; })));
    root.reset();
    return 0;
}

// ---- The driver ---------------------------------------------------------------

struct Child
{
    QMap<QString, double> values;
    QMap<QString, QString> notes;
    bool ok = false;
    double startedMonotonic = 0;
};

Child runChild(const QStringList &arguments, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice()); // the application's log
    Child child;
    child.startedMonotonic = clockSeconds(CLOCK_MONOTONIC);
    process.start(QCoreApplication::applicationFilePath(), arguments);
    if (!process.waitForFinished(600000)) {
        process.kill();
        process.waitForFinished();
    }
    const QList<QByteArray> lines = process.readAllStandardError().split('\n');
    for (const QByteArray &line : lines) {
        if (!line.startsWith('@'))
            continue;
        const qsizetype space = line.indexOf(' ');
        const QString name = QString::fromUtf8(line.mid(1, space - 1));
        bool number = false;
        const double value = line.mid(space + 1).toDouble(&number);
        if (number)
            child.values[name] = value;
        else
            child.notes[name] = QString::fromUtf8(line.mid(space + 1));
    }
    child.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!child.ok) {
        std::printf("  a run of %s failed (exit %d)\n", qPrintable(arguments.value(0)), process.exitCode());
        for (const QByteArray &line : lines)
            if (!line.isEmpty() && !line.startsWith('@'))
                std::printf("    %s\n", line.constData());
    }
    return child;
}

struct Stats
{
    std::vector<double> values;
    void add(double v) { values.push_back(v); }
    double median() const
    {
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted.size() % 2 ? sorted[sorted.size() / 2]
                                                      : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2;
    }
    double min() const { return values.empty() ? 0 : *std::min_element(values.begin(), values.end()); }
    double max() const { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }
};

void writeFiles(const QString &folder, int count)
{
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        QFile file(QDir(folder).filePath(QStringLiteral("entry%1.txt").arg(i, 5, 10, QLatin1Char('0'))));
        if (file.open(QIODevice::WriteOnly))
            file.write("line one\nline two\n");
    }
}

int drive()
{
    QTemporaryDir work;
    const QString memoryFolder = work.filePath(QStringLiteral("thousand"));
    const QString scrollFolder = work.filePath(QStringLiteral("ten-thousand"));
    writeFiles(memoryFolder, memoryEntries);
    writeFiles(scrollFolder, scrollEntries);
    const QString fakePacker = work.filePath(QStringLiteral("packer.sh"));
    {
        QFile script(fakePacker);
        if (!script.open(QIODevice::WriteOnly))
            return 1;
        script.write("out=''; prev=''\n"
                     "for a in \"$@\"; do [ \"$prev\" = --output ] && out=\"$a\"; prev=\"$a\"; done\n"
                     "echo packed > \"$out\"\n"
                     "printf 'Total Files: 10000 files\\nTotal Tokens: 50000 tokens\\nTotal Chars: 180000 chars\\n'\n");
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QDir(work.path()).mkpath(QStringLiteral("config"));
    QDir(work.path()).mkpath(QStringLiteral("tmp"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("TMPDIR"), work.filePath(QStringLiteral("tmp")));

    std::setvbuf(stdout, nullptr, _IOLBF, 0); // figures appear as they come
    const QString platform = QGuiApplication::platformName();
    std::printf("bench_window: the application window on the \"%s\" platform (%s)\n", qPrintable(platform),
                qEnvironmentVariable("DISPLAY").isEmpty() ? "no X display" : qPrintable("DISPLAY " + qEnvironmentVariable("DISPLAY")));
    std::printf("Under Xvfb there is no GPU: the scene is rendered in software (see the renderer below), so the\n"
                "figures are upper bounds for a desktop with graphics hardware.\n\n");
    int failures = 0;

    // (a) Start to first frame.
    Stats sinceStart;
    Stats sinceSpawn;
    for (int run = 0; run < firstFrameRuns; ++run) {
        const Child child = runChild({QStringLiteral("--first-frame")}, environment);
        if (!child.ok) {
            ++failures;
            continue;
        }
        sinceStart.add(child.values.value(QStringLiteral("first_frame_since_start")) * 1000);
        sinceSpawn.add((child.values.value(QStringLiteral("first_frame_monotonic")) - child.startedMonotonic) * 1000);
    }
    std::printf("(a) Process start to the first frame of the window (MainApp + Main.qml, as main.cpp), %d runs\n",
                int(sinceStart.values.size()));
    std::printf("    from /proc/self/stat starttime (10 ms ticks): median %.0f ms (min %.0f, max %.0f)\n",
                sinceStart.median(), sinceStart.min(), sinceStart.max());
    std::printf("    from the moment this driver started it:       median %.0f ms (min %.0f, max %.0f)\n\n",
                sinceSpawn.median(), sinceSpawn.min(), sinceSpawn.max());

    // (b) Resident memory.
    Stats empty;
    Stats full;
    Stats peak;
    for (int run = 0; run < memoryRuns; ++run) {
        const Child child = runChild({QStringLiteral("--memory"), memoryFolder}, environment);
        if (!child.ok) {
            ++failures;
            continue;
        }
        empty.add(child.values.value(QStringLiteral("rss_empty")));
        full.add(child.values.value(QStringLiteral("rss_list")));
        peak.add(child.values.value(QStringLiteral("rss_peak")));
    }
    std::printf("(b) Resident memory (VmRSS) of the idle window, %d runs, bundled packer for the estimate\n",
                int(full.values.size()));
    std::printf("    empty window:                 median %.1f MiB (min %.1f, max %.1f)\n", empty.median(), empty.min(),
                empty.max());
    std::printf("    with %d entries, settled:   median %.1f MiB (min %.1f, max %.1f); %.1f MiB more, %.2fx the empty window\n",
                memoryEntries, full.median(), full.min(), full.max(), full.median() - empty.median(),
                empty.median() > 0 ? full.median() / empty.median() : 0.0);
    std::printf("    peak (VmHWM):                 median %.1f MiB\n\n", peak.median());

    // (c) Scrolling.
    std::printf("(c) Scrolling %d entries from top to bottom in %.0f s (contentY animation), %d runs; target: no\n"
                "    frame interval longer than %.0f ms\n",
                scrollEntries, scrollMilliseconds / 1000.0, scrollRuns, frameTargetMs);
    QString renderer;
    for (int run = 0; run < scrollRuns; ++run) {
        const Child child = runChild({QStringLiteral("--scroll"), scrollFolder, fakePacker}, environment);
        if (!child.ok) {
            ++failures;
            continue;
        }
        renderer = child.notes.value(QStringLiteral("renderer"), renderer);
        const auto v = [&](const char *name) { return child.values.value(QLatin1String(name)); };
        const double speed = v("scroll_pixels") / (scrollMilliseconds / 1000.0);
        std::printf("    run %d: %.0f frames in %.1f s (%.0f px/s); interval median %.1f ms, p99 %.1f ms, longest %.1f ms "
                    "(%.2fx the target); %.0f over the target; last row on screen: %s\n",
                    run + 1, v("frames"), v("scroll_seconds"), speed, v("interval_median"), v("interval_p99"),
                    v("interval_max"), v("interval_max") / frameTargetMs, v("intervals_over_target"),
                    int(v("last_row_shown")) == scrollEntries - 1 ? "yes" : "no");
    }
    std::printf("    renderer: %s\n", renderer.isEmpty() ? "unknown" : qPrintable(renderer));
    return failures ? 1 : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "bench_window needs a display; run it under Xvfb: xvfb-run -a %s\n", argv[0]);
        return 1;
    }
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const QString mode = arguments.value(1);
    if (mode == QLatin1String("--first-frame"))
        return measureFirstFrame(application);
    if (mode == QLatin1String("--memory"))
        return measureMemory(arguments.value(2));
    if (mode == QLatin1String("--scroll"))
        return measureScroll(arguments.value(2), arguments.value(3));
    return drive();
}
