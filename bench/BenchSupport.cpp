#include "BenchSupport.h"

#include "BundleOptions.h"
#include "PackerArguments.h"
#include "PackerEnvironment.h"

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace bench {

PackerLocation packer()
{
    return {QStringLiteral(LUMBREL_BENCH_RUNTIME), QStringLiteral(LUMBREL_BENCH_SCRIPT)};
}

// ---- Output ---------------------------------------------------------------

namespace {
std::FILE *g_out = nullptr;
}

void captureLog(const QString &logFile)
{
    std::fflush(stdout);
    const int original = ::dup(STDOUT_FILENO);
    g_out = ::fdopen(original, "w");
    std::setvbuf(g_out, nullptr, _IOLBF, 0);
    const int log = ::open(QFile::encodeName(logFile).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log >= 0) {
        ::dup2(log, STDOUT_FILENO);
        ::close(log);
    }
}

std::FILE *out()
{
    return g_out ? g_out : stdout;
}

// ---- Generated input ------------------------------------------------------

namespace {

// A small, fast, deterministic generator (xorshift32).
struct Random
{
    explicit Random(unsigned seed) : state(seed * 2654435761u + 1u) {}
    unsigned next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    unsigned below(unsigned n) { return next() % n; }
    unsigned state;
};

const char *const kWords[] = {
    "value",  "result", "count",   "index",  "buffer", "config", "request", "response", "handler", "options",
    "parse",  "render", "update",  "create", "remove", "filter", "format",  "resolve",  "load",    "store",
    "items",  "node",   "context", "error",  "state",  "event",  "token",   "path",     "module",  "cache",
    "return", "const",  "if",      "for",    "while",  "else",   "new",     "this",     "await",   "async",
};
constexpr unsigned kWordCount = sizeof kWords / sizeof kWords[0];

std::string sourceLine(Random &random)
{
    std::string line(2 * random.below(4), ' ');
    const unsigned words = 3 + random.below(8);
    for (unsigned i = 0; i < words; ++i) {
        if (i > 0)
            line += (random.below(5) == 0) ? ", " : (random.below(6) == 0 ? "." : " ");
        line += kWords[random.below(kWordCount)];
        if (random.below(7) == 0)
            line += std::to_string(random.below(1000));
    }
    switch (random.below(6)) {
    case 0: line += "();"; break;
    case 1: line += " {"; break;
    case 2: line += " // " + std::string(kWords[random.below(kWordCount)]); break;
    default: line += ';'; break;
    }
    line += '\n';
    return line;
}

// A size between `low` and `high` bytes that depends only on `key`.
qint64 sizeFor(unsigned key, qint64 low, qint64 high)
{
    Random random(key);
    return low + random.below(static_cast<unsigned>(high - low + 1));
}

void addFile(TreeSize &size, const fs::path &path, qint64 bytes, unsigned seed)
{
    writeTextFile(path, bytes, seed);
    size.files += 1;
    size.bytes += static_cast<qint64>(fs::file_size(path));
}

} // namespace

void writeTextFile(const fs::path &path, qint64 bytes, unsigned seed)
{
    fs::create_directories(path.parent_path());
    Random random(seed);
    std::string text;
    text.reserve(static_cast<size_t>(bytes) + 128);
    while (static_cast<qint64>(text.size()) < bytes)
        text += sourceLine(random);
    std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
}

TreeSize makeProject(const fs::path &root, bool withDependencyFolders)
{
    TreeSize size;
    unsigned seed = 1;
    const char *const sourceExtensions[] = {".ts", ".cpp", ".h", ".py"};

    // The source part: 800 + 150 + 50 + 20 files, about 5 MB.
    for (int module = 0; module < 20; ++module) {
        for (int file = 0; file < 40; ++file) {
            const fs::path path = root / "src" / ("module" + std::to_string(module))
                / ("file" + std::to_string(file) + sourceExtensions[file % 4]);
            addFile(size, path, sizeFor(seed, 2000, 8000), seed);
            ++seed;
        }
    }
    for (int file = 0; file < 150; ++file, ++seed)
        addFile(size, root / "tests" / ("test" + std::to_string(file) + ".cpp"), sizeFor(seed, 2000, 6000), seed);
    for (int file = 0; file < 50; ++file, ++seed)
        addFile(size, root / "docs" / ("page" + std::to_string(file) + ".md"), sizeFor(seed, 2000, 10000), seed);
    for (int file = 0; file < 20; ++file, ++seed)
        addFile(size, root / "packages" / "web" / "src" / ("view" + std::to_string(file) + ".ts"),
                sizeFor(seed, 2000, 6000), seed);

    if (!withDependencyFolders)
        return size;

    // node_modules: 220 packages of 20 files (4-16 KB each), every tenth with
    // three nested packages of its own.
    seed = 100000;
    for (int package = 0; package < 220; ++package) {
        const fs::path dir = root / "node_modules" / ("package-" + std::to_string(package));
        for (int file = 0; file < 20; ++file, ++seed) {
            const std::string name = file == 0 ? "package.json"
                : file == 1                    ? "README.md"
                : file == 2                    ? "index.d.ts"
                                               : "lib/part" + std::to_string(file) + ".js";
            addFile(size, dir / name, sizeFor(seed, 4000, 16000), seed);
        }
        if (package % 10 == 0) {
            for (int nested = 0; nested < 3; ++nested) {
                for (int file = 0; file < 5; ++file, ++seed)
                    addFile(size, dir / "node_modules" / ("dep-" + std::to_string(nested)) / ("dist" + std::to_string(file) + ".js"),
                            sizeFor(seed, 4000, 16000), seed);
            }
        }
    }
    // A nested workspace's own node_modules.
    for (int package = 0; package < 10; ++package) {
        for (int file = 0; file < 10; ++file, ++seed)
            addFile(size, root / "packages" / "web" / "node_modules" / ("widget-" + std::to_string(package)) / ("w" + std::to_string(file) + ".js"),
                    sizeFor(seed, 4000, 12000), seed);
    }
    // Compiled Python beside the Python sources, and a virtual environment.
    for (int module = 3; module < 20; module += 4) {
        for (int file = 0; file < 10; ++file, ++seed)
            addFile(size, root / "src" / ("module" + std::to_string(module)) / "__pycache__" / ("file" + std::to_string(file) + ".cpython-311.pyc"),
                    sizeFor(seed, 2000, 6000), seed);
    }
    for (int package = 0; package < 30; ++package) {
        for (int file = 0; file < 10; ++file, ++seed)
            addFile(size, root / ".venv" / "lib" / "python3.11" / "site-packages" / ("pypkg" + std::to_string(package)) / ("m" + std::to_string(file) + ".py"),
                    sizeFor(seed, 4000, 12000), seed);
    }
    // Version-control internals.
    for (int object = 0; object < 100; ++object, ++seed)
        addFile(size, root / ".git" / "objects" / std::to_string(10 + object % 50) / ("obj" + std::to_string(object)),
                sizeFor(seed, 2000, 6000), seed);
    return size;
}

TreeSize makeSourceTree(const fs::path &root, int count, int *markdownFiles)
{
    TreeSize size;
    int markdown = 0;
    const char *const extensions[] = {".ts", ".cpp", ".h", ".py", ".js", ".go", ".rs", ".md"};
    for (int file = 0; file < count; ++file) {
        const unsigned seed = 500000u + static_cast<unsigned>(file);
        const char *extension = extensions[file % 8];
        if (file % 8 == 7)
            ++markdown;
        addFile(size, root / ("dir" + std::to_string(file / 50)) / ("file" + std::to_string(file) + extension),
                sizeFor(seed, 1000, 5000), seed);
    }
    if (markdownFiles)
        *markdownFiles = markdown;
    return size;
}

TreeSize makeRealSizedTree(const fs::path &root, int count)
{
    TreeSize size;
    const char *const extensions[] = {".ts", ".cpp", ".h", ".py", ".js", ".go", ".rs", ".md"};
    for (int file = 0; file < count; ++file) {
        const unsigned seed = 900000u + static_cast<unsigned>(file);
        addFile(size, root / ("pkg" + std::to_string(file / 500)) / ("dir" + std::to_string(file / 50))
                    / ("source" + std::to_string(file) + extensions[file % 8]),
                sizeFor(seed, 2000, 20000), seed);
    }
    return size;
}

TreeSize measureTree(const fs::path &root)
{
    TreeSize size;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && !entry.is_symlink()) {
            size.files += 1;
            size.bytes += static_cast<qint64>(entry.file_size());
        }
    }
    return size;
}

// ---- Measuring ------------------------------------------------------------

double now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

namespace {
double statusFieldMiB(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ':';
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::stod(line.substr(prefix.size())) / 1024.0; // the value is in kB
    }
    return 0;
}
} // namespace

double currentMemoryMiB()
{
    return statusFieldMiB("VmRSS");
}

double peakMemoryMiB()
{
    return statusFieldMiB("VmHWM");
}

void resetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// ---- The baseline ---------------------------------------------------------

DirectRun runPackerDirectly(const QStringList &arguments, const QString &directory)
{
    const PackerEnvironment environment = PackerEnvironment::forRun().value();
    return runPackerDirectly(arguments, directory, environment.environment, environment.workingDirectory);
}

DirectRun runPackerDirectly(const QStringList &arguments, const QString &directory,
                            const QProcessEnvironment &environment, const QString &workingDirectory)
{
    QProcess process;
    process.setProgram(packer().runtime);
    process.setArguments(QStringList{packer().script} + arguments + QStringList{directory});
    process.setWorkingDirectory(workingDirectory);
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());

    DirectRun run;
    const double start = now();
    process.start();
    process.waitForFinished(-1);
    run.seconds = now() - start;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.report = QString::fromUtf8(process.readAllStandardOutput());
    return run;
}

QStringList defaultJobArguments(const QString &output, const QString &ignorePatterns)
{
    PackRequest request;
    request.output = output;
    request.ignorePatterns = ignorePatterns;
    return jobArguments(request);
}

QStringList userArguments(const QString &output, const QString &ignorePatterns)
{
    QStringList arguments = defaultJobArguments(output, ignorePatterns);
    arguments.removeAll(QStringLiteral("--verbose"));
    return arguments;
}

double copyWithCp(const fs::path &from, const fs::path &to, bool hardLinks)
{
    const double start = now();
    const int status = QProcess::execute(QStringLiteral("cp"),
                                         {hardLinks ? QStringLiteral("-al") : QStringLiteral("-a"),
                                          QFile::decodeName(from.c_str()), QFile::decodeName(to.c_str())});
    const double seconds = now() - start;
    return status == 0 ? seconds : -1;
}

// Runs the thread's event loop until `done` holds or `seconds` pass,
// without ever sleeping outside the event loop (so the probe keeps ticking).
bool runEventsUntil(const std::function<bool()> &done, double seconds)
{
    const double deadline = now() + seconds;
    QEventLoop loop;
    QTimer check;
    check.setInterval(2);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || now() >= deadline)
            loop.quit();
    });
    check.start();
    if (!done())
        loop.exec();
    return done();
}

void runEventsFor(double seconds)
{
    runEventsUntil([] { return false; }, seconds);
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2) : QString();
}

} // namespace bench
