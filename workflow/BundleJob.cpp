#include "BundleJob.h"

#include "CountText.h"
#include "PackerOutput.h"
#include "PackerWorker.h"
#include "PrivateArea.h"
#include "RepomixWrapper.h"
#include "UserText.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QStandardPaths>
#include <QUuid>

namespace {
QStringList quoted(const QStringList &names)
{
    QStringList result;
    for (const QString &name : names)
        result << QStringLiteral("\u201C%1\u201D").arg(name);
    return result;
}
} // namespace

BundleJob::BundleJob(RepomixWrapper &wrapper, PackerWorker &worker, std::function<JobInput()> input, QObject *parent)
    : QObject(parent)
    , m_wrapper(wrapper)
    , m_worker(worker)
    , m_input(std::move(input))
{
}

BundleJob::~BundleJob()
{
    if (m_job.stop_possible())
        m_job.request_stop();
}

QString BundleJob::proposedFileName() const
{
    return QStringLiteral("bundled-output.") + OutputStyles::extension(m_input().options.style());
}

QStringList BundleJob::nameFilters()
{
    return OutputStyles::filters();
}

int BundleJob::styleNameFilter() const
{
    const OutputStyle style = m_input().options.style();
    const auto styles = OutputStyles::all();
    for (std::size_t i = 0; i < styles.size(); ++i) {
        if (styles[i].style == style)
            return static_cast<int>(i);
    }
    return 0;
}

QString BundleJob::stageText() const
{
    switch (m_stage) {
    case Job::Stage::Copying:
        return tr("Copying files\u2026");
    case Job::Stage::Packing:
        return m_packerStep.isEmpty() ? tr("Packing\u2026") : m_packerStep + QStringLiteral("\u2026");
    case Job::Stage::Writing:
        return tr("Writing the bundle\u2026");
    }
    return {};
}

void BundleJob::start()
{
    if (m_screen != Screen::Normal)
        return;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    emit saveDialogRequested(QUrl::fromLocalFile(QDir(folder).filePath(proposedFileName())), nameFilters(),
                             styleNameFilter());
}

void BundleJob::saveDialogFinished(const QUrl &chosen, const QString &typedName)
{
    if (chosen.isEmpty() || m_screen != Screen::Normal)
        return; // cancelled
    // Some dialogs put a typed absolute path below their current folder, and
    // some hand back a typed name as a bare path.
    QUrl destination = chosen.scheme().isEmpty() && QDir::isAbsolutePath(chosen.path())
        ? QUrl::fromLocalFile(chosen.path())
        : chosen;
    if (QDir::isAbsolutePath(typedName) && destination.isLocalFile())
        destination = QUrl::fromLocalFile(typedName);
    if (!destination.isLocalFile()) {
        refuse(QStringLiteral("Bundles can only be saved to a local folder, not to %1.").arg(chosen.toDisplayString()));
        return;
    }
    QString path = QDir::cleanPath(destination.toLocalFile());
    QFileInfo target(path);
    if (target.suffix().isEmpty() && !target.isDir()) {
        path += QLatin1Char('.') + OutputStyles::extension(m_input().options.style());
        target.setFile(path);
    }
    destination = QUrl::fromLocalFile(path);

    if (const QString problem = destinationProblem(path); !problem.isEmpty()) {
        refuse(problem);
        return;
    }
    const JobInput input = m_input();
    if (const QString conflict = destinationConflict(path, input); !conflict.isEmpty()) {
        refuse(conflict);
        return;
    }

    // Saving asks first where it replaces a file (or a part of an earlier
    // split bundle) or puts the bundle among the chosen files.
    QStringList notes;
    QStringList existing;
    if (target.exists())
        existing << target.fileName();
    for (int part = 1; !input.options.text(OptionKey::splitOutput).isEmpty()
                       && QFileInfo::exists(PackerOutput::partPath(path, part));
         ++part) {
        existing << QFileInfo(PackerOutput::partPath(path, part)).fileName();
    }
    if (!existing.isEmpty()) {
        notes << (existing.size() == 1
                      ? tr("\u201C%1\u201D already exists. Do you want to replace it?").arg(existing.first())
                      : tr("%1 already exist. Do you want to replace them?")
                            .arg(QLocale().createSeparatedList(quoted(existing))));
    }
    if (const QString folder = chosenFolderHolding(path, input); !folder.isEmpty()) {
        notes << tr("The bundle goes inside \u201C%1\u201D, one of the folders being bundled. It is left out of "
                    "this bundle and of later ones.")
                     .arg(QFileInfo(folder).fileName());
    }
    if (!notes.isEmpty()) {
        m_pendingDestination = destination;
        emit confirmationRequested(existing.isEmpty() ? tr("Save Inside a Chosen Folder?") : tr("Replace File?"),
                                   notes.join(QLatin1Char('\n')), existing.isEmpty() ? tr("Save") : tr("Replace"));
        return;
    }
    run(destination);
}

void BundleJob::confirmReplace(bool replace)
{
    const QUrl destination = std::exchange(m_pendingDestination, QUrl());
    if (!replace || destination.isEmpty() || m_screen != Screen::Normal)
        return;
    run(destination);
}

void BundleJob::run(const QUrl &destination)
{
    start(destination, false);
}

void BundleJob::copyWithoutSaving()
{
    if (m_screen != Screen::Normal || m_input().files.isEmpty())
        return;
    // A folder of its own, so that the file keeps the name a bundle has.
    const Result<QString> session = PrivateArea::sessionDirectory();
    if (!session) {
        refuse(session.error().description);
        return;
    }
    const QString folder = QDir(session.value()).filePath(QStringLiteral("copy-")
                                                          + QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (!QDir().mkpath(folder)) {
        refuse(tr("Cannot create \u201C%1\u201D.").arg(folder));
        return;
    }
    start(QUrl::fromLocalFile(QDir(folder).filePath(proposedFileName())), true);
}

void BundleJob::start(const QUrl &destination, bool forClipboard)
{
    if (m_screen == Screen::Processing)
        return;
    setOutputFiles({});
    setProgress({});
    setScreen(Screen::Processing);

    m_job = std::stop_source();
    const std::stop_token token = m_job.get_token();
    const JobInput input = m_input();
    m_running = input;
    RepomixWrapper *wrapper = &m_wrapper;
    QPointer<BundleJob> self(this);
    const auto onProgress = [self, token](const JobProgress &progress) {
        QMetaObject::invokeMethod(
            self.data(), [self, token, progress] {
                if (self && token == self->m_job.get_token() && !token.stop_requested())
                    self->setProgress(progress);
            },
            Qt::QueuedConnection);
    };
    KeptBundle *kept = &m_worker.keptBundle();
    m_worker.post(
        this,
        [wrapper, kept, input, destination, token, onProgress] {
            return runBundle(*wrapper, input, destination.toLocalFile(), token, onProgress, kept);
        },
        [this, token, destination, forClipboard](const Result<JobResult> &result) {
            finish(token, destination, forClipboard, result);
        });
}

void BundleJob::finish(const std::stop_token &token, const QUrl &destination, bool forClipboard,
                       const Result<JobResult> &result)
{
    if (token != m_job.get_token())
        return; // an older job's late answer
    if (token.stop_requested()) {
        setScreen(Screen::Normal); // cancelled: nothing to say
        return;
    }
    if (result && forClipboard) {
        setScreen(Screen::Normal);
        emit copied(result.value(), result.value().outputFiles.value(0, destination.toLocalFile()));
        return;
    }
    if (result) {
        QStringList inside;
        for (const QString &file : result.value().outputFiles) {
            if (!chosenFolderHolding(file, m_running).isEmpty())
                inside << file;
        }
        if (!inside.isEmpty())
            emit wroteInsideSelection(inside);
        emit succeeded(result.value());
        m_leftOut = UserText::leftOut(result.value());
        QList<QUrl> written;
        for (const QString &file : result.value().outputFiles)
            written << QUrl::fromLocalFile(file);
        setOutputFiles(written.isEmpty() ? QList<QUrl>{destination} : written);
        setScreen(Screen::Completed);
        return;
    }
    setScreen(Screen::Normal);
    const QString reason = UserText::cleaned(result.error().description);
    switch (m_stage) {
    case Job::Stage::Copying:
        fail(tr("Copying the chosen items failed"), false, reason);
        break;
    case Job::Stage::Packing:
        fail(tr("Packing the files failed"), false, reason);
        break;
    case Job::Stage::Writing:
        // Reading the packer's output from the private area fails as "QFile";
        // anything else went wrong at the destination.
        fail(tr("Saving the bundle failed"), result.error().domain != QLatin1String("QFile"), reason);
        break;
    }
}

void BundleJob::refuse(const QString &reason)
{
    fail(tr("Cannot save there"), true, reason);
}

void BundleJob::fail(const QString &action, bool destinationProblem, const QString &reason)
{
    emit failedAction(action, destinationProblem);
    emit failed(QStringLiteral("Failed to bundle files: ") + reason);
}

void BundleJob::cancel()
{
    if (m_screen != Screen::Processing)
        return;
    if (m_job.stop_possible())
        m_job.request_stop(); // the packer's process group ends at once
    setScreen(Screen::Normal);
}

void BundleJob::close()
{
    if (m_screen != Screen::Completed)
        return;
    setOutputFiles({});
    setScreen(Screen::Normal);
}

void BundleJob::setScreen(Screen screen)
{
    if (m_screen == screen)
        return;
    m_screen = screen;
    emit screenChanged();
}

void BundleJob::setProgress(const JobProgress &progress)
{
    setStage(progress.stage);
    QString step = progress.packerStep.trimmed();
    while (step.endsWith(QLatin1Char('.')) || step.endsWith(QChar(0x2026)))
        step.chop(1);
    if (std::exchange(m_packerStep, step) != step)
        emit stageChanged(); // a new step of the packer's
    const double fraction = progress.total > 0 ? double(qMin(progress.done, progress.total)) / double(progress.total) : -1;
    const QString text = progress.total > 0
        ? QStringLiteral("%1: %2 of %3")
              .arg(progress.packerStep, formatNumber(progress.done), formatNumber(progress.total))
        : QString();
    if (fraction == m_progress && text == m_progressText)
        return;
    m_progress = fraction;
    m_progressText = text;
    emit progressChanged();
}

void BundleJob::setStage(Job::Stage stage)
{
    if (m_stage == stage)
        return;
    m_stage = stage;
    emit stageChanged();
}

void BundleJob::setOutputFiles(const QList<QUrl> &files)
{
    if (m_outputFiles == files)
        return;
    if (files.isEmpty())
        m_leftOut.clear();
    m_outputFiles = files;
    emit outputFileChanged();
}
