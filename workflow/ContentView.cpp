#include "ContentView.h"

#include "Log.h"
#include "PackerWorker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

ContentView::ContentView(BundleOptions *options, PackerLocation packer, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_repomix(std::make_unique<RepomixWrapper>(std::move(packer)))
    , m_worker(std::make_unique<PackerWorker>())
{
    m_estimatesManager.setupDebouncer([this](const QString &) { updateEstimates(); });
}

ContentView::~ContentView()
{
    removeKeyboardMonitor();
    m_estimatesManager.stopEstimate();
    if (m_bundleJob.stop_possible())
        m_bundleJob.request_stop();
    m_worker.reset(); // waits for the stopped job; the runner then removes its staging directory
}

// --- Plain state -----------------------------------------------------------

namespace {
// Stores `value` and announces it, unless nothing changes; true when it changed.
template <typename T>
bool assign(ContentView *view, T &field, const T &value, void (ContentView::*changed)())
{
    if (field == value)
        return false;
    field = value;
    (view->*changed)();
    return true;
}
} // namespace

void ContentView::setShowAlert(bool show)
{
    assign(this, m_showAlert, show, &ContentView::showAlertChanged);
}

void ContentView::setShowSettings(bool show)
{
    if (assign(this, m_showSettings, show, &ContentView::showSettingsChanged) && !show)
        updateEstimates();
}

void ContentView::setIgnorePatterns(const QString &patterns)
{
    if (assign(this, m_ignorePatterns, patterns, &ContentView::ignorePatternsChanged))
        m_estimatesManager.send(patterns);
}

void ContentView::setShowIgnorePatterns(bool show)
{
    assign(this, m_showIgnorePatterns, show, &ContentView::showIgnorePatternsChanged);
}

void ContentView::setProcessing(bool on)
{
    assign(this, m_isProcessing, on, &ContentView::isProcessingChanged);
}

void ContentView::setOutputFile(const QUrl &file)
{
    assign(this, m_outputFile, file, &ContentView::outputFileChanged);
}

void ContentView::setTotals(const RunSummary &summary)
{
    assign(this, m_totalFiles, summary.totalFiles, &ContentView::totalFilesChanged);
    assign(this, m_totalChars, summary.totalChars, &ContentView::totalCharsChanged);
    assign(this, m_estimatedTokens, summary.estimatedTokens, &ContentView::estimatedTokensChanged);
}

JobInput ContentView::jobInput() const
{
    return {m_files.urls(), m_options->values(), m_ignorePatterns};
}

// --- Selection -------------------------------------------------------------

bool ContentView::handleDrop(const QList<QUrl> &urls)
{
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            addFile(url);
    }
    QTimer::singleShot(dropRefreshMilliseconds, this, &ContentView::updateEstimates);
    return true;
}

void ContentView::addFile(const QUrl &url)
{
    m_files.append(url);
}

void ContentView::removeFile(const QUrl &url)
{
    if (m_files.remove(url))
        updateEstimates();
}

void ContentView::clearAll()
{
    m_files.clear();
    updateEstimates();
}

void ContentView::setupKeyboardMonitor()
{
    // Installing again only moves the filter to the front: never two monitors.
    QCoreApplication::instance()->installEventFilter(this);
    m_keyboardMonitor = true;
}

void ContentView::removeKeyboardMonitor()
{
    if (!m_keyboardMonitor)
        return;
    QCoreApplication::instance()->removeEventFilter(this);
    m_keyboardMonitor = false;
}

bool ContentView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress)
        return handleKeyEvent(*static_cast<QKeyEvent *>(event));
    return QObject::eventFilter(watched, event);
}

bool ContentView::handleKeyEvent(const QKeyEvent &event)
{
    const int key = event.key();
    if (key != Qt::Key_Up && key != Qt::Key_Down)
        return false;
    if (m_files.isEmpty())
        return false;

    const int current = m_selectionState.selectedFile().isEmpty() ? -1 : m_files.indexOf(m_selectionState.selectedFile());
    int next = current;
    if (current < 0)
        next = 0;
    else if (key == Qt::Key_Up && current > 0)
        next = current - 1;
    else if (key == Qt::Key_Down && current < m_files.count() - 1)
        next = current + 1;

    if (next != current) {
        const QUrl target = m_files.at(next);
        m_selectionState.setSelectedFile(target);
        emit scrollToRequested(target);
    }
    return true;
}

// --- Estimates -------------------------------------------------------------

void ContentView::updateEstimates()
{
    if (m_files.isEmpty()) {
        // Nothing to count: an estimate still running would publish the
        // totals of entries that are gone.
        m_estimatesManager.stopEstimate();
        m_estimatesManager.setEstimating(false);
        setTotals({});
        return;
    }
    if (m_isProcessing || !m_outputFile.isEmpty()) {
        // The totals on screen belong to the bundle job now; estimate again
        // only if the job fails and the list comes back.
        m_estimateAfterJob = true;
        return;
    }
    estimateTokens();
}

void ContentView::estimateTokens()
{
    const std::stop_token token = m_estimatesManager.beginEstimate();
    m_estimatesManager.setEstimating(true);
    const JobInput input = jobInput();
    RepomixWrapper *wrapper = m_repomix.get();
    QPointer<ContentView> self(this);
    m_worker->post([self, wrapper, input, token] {
        if (token.stop_requested())
            return; // superseded before it began
        const Result<RunSummary> result = runEstimate(*wrapper, input, token);
        QMetaObject::invokeMethod(
            self.data(), [self, token, counted = input.files, result] {
                if (self)
                    self->publishEstimate(token, counted, result);
            },
            Qt::QueuedConnection);
    });
}

void ContentView::publishEstimate(const std::stop_token &token, const QList<QUrl> &counted,
                                  const Result<RunSummary> &result)
{
    if (!m_estimatesManager.isLatest(token))
        return; // superseded: publishes nothing
    if (result) {
        setTotals(result.value());
    } else {
        logLine(QStringLiteral("Error estimating tokens: ") + result.error().toString());
    }
    m_estimatesManager.setEstimating(false);

    // Entries that arrived after this estimate started are counted by another one.
    if (result && counted != m_files.urls())
        updateEstimates();
}

// --- Bundle job ------------------------------------------------------------

QString ContentView::proposedFileName() const
{
    return QStringLiteral("bundled-output.") + BundleOptions::outputExtension(m_options->style());
}

QUrl ContentView::proposedSaveLocation() const
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return QUrl::fromLocalFile(QDir(folder).filePath(proposedFileName()));
}

void ContentView::startBundling()
{
    emit saveDialogRequested(proposedFileName(),
                             {QStringLiteral("Plain text (*.txt)"), QStringLiteral("XML (*.xml)"),
                              QStringLiteral("Markdown (*.md)")});
}

void ContentView::saveDialogFinished(const QUrl &chosen)
{
    if (chosen.isEmpty() || m_isProcessing)
        return; // cancelled
    // A name typed into some dialogs comes back as a bare path.
    const QUrl destination = chosen.scheme().isEmpty() && QDir::isAbsolutePath(chosen.path())
        ? QUrl::fromLocalFile(chosen.path())
        : chosen;
    if (!destination.isLocalFile()) {
        showBundleError(AppError::wrapper(
            -1, QStringLiteral("Bundles can only be saved to a local folder, not to %1.").arg(chosen.toDisplayString())));
        return;
    }
    const QFileInfo existing(destination.toLocalFile());
    if (existing.exists()) {
        m_pendingDestination = destination;
        emit replaceConfirmationRequested(existing.fileName());
        return;
    }
    setProcessing(true);
    bundleFiles(destination);
}

void ContentView::confirmReplace(bool replace)
{
    const QUrl destination = std::exchange(m_pendingDestination, QUrl());
    if (!replace || destination.isEmpty() || m_isProcessing)
        return;
    setProcessing(true);
    bundleFiles(destination);
}

void ContentView::bundleFiles(const QUrl &destination)
{
    // A running estimate would only be thrown away: the job's totals win.
    m_estimatesManager.stopEstimate();
    m_estimatesManager.setEstimating(false);
    m_estimateAfterJob = false;

    m_bundleJob = std::stop_source();
    const std::stop_token token = m_bundleJob.get_token();
    const JobInput input = jobInput();
    RepomixWrapper *wrapper = m_repomix.get();
    QPointer<ContentView> self(this);
    m_worker->post([self, wrapper, input, destination, token] {
        const Result<RunSummary> result = runBundle(*wrapper, input, destination.toLocalFile(), token);
        QMetaObject::invokeMethod(
            self.data(), [self, result, destination] {
                if (!self)
                    return;
                if (result)
                    self->finishBundle(result.value(), destination);
                else
                    self->showBundleError(result.error());
            },
            Qt::QueuedConnection);
    });
}

void ContentView::finishBundle(const RunSummary &summary, const QUrl &destination)
{
    setTotals(summary);
    setOutputFile(destination);
    setProcessing(false);
}

void ContentView::showBundleError(const AppError &error)
{
    setProcessing(false);
    setShowAlert(true);
    assign(this, m_alertMessage, QStringLiteral("Failed to bundle files: ") + error.description,
           &ContentView::alertMessageChanged);
    if (std::exchange(m_estimateAfterJob, false))
        updateEstimates();
}

void ContentView::resetState()
{
    setOutputFile({});
    m_files.clear();
    m_estimateAfterJob = false;
    updateEstimates();
}
