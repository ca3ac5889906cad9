#include "ContentView.h"

#include "CountText.h"
#include "PackerWorker.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>

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

ContentView::ContentView(BundleOptions *options, PackerLocation packer, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_repomix(std::make_unique<RepomixWrapper>(std::move(packer)))
    , m_worker(std::make_unique<PackerWorker>())
    , m_estimatesManager(std::make_unique<EstimatesManager>(*m_repomix, *m_worker, [this] { return jobInput(); }))
    , m_job(std::make_unique<BundleJob>(*m_repomix, *m_worker, [this] { return jobInput(); }))
    , m_quickCopy([this](const QString &text) { putOnClipboard(text, m_copiedFile); })
{
    connect(m_options, &BundleOptions::storeFailed, this, &ContentView::showError);
    if (!m_options->storeProblem().isEmpty())
        QMetaObject::invokeMethod(this, [this] { showError(m_options->storeProblem()); }, Qt::QueuedConnection);
    connect(&m_selection, &FileSelection::changed, m_estimatesManager.get(), &EstimatesManager::updateEstimates);
    // An estimate's output kept for a bundle of its selection goes with the selection.
    connect(&m_selection, &FileSelection::changed, this, [this] { m_worker->keptBundle().clear(); });
    connect(m_estimatesManager.get(), &EstimatesManager::estimated, this, [this](const JobResult &result) {
        m_tree.absorb(result);
        setTotals(result.summary);
        m_selection.files()->setShares(result.shares());
    });

    connect(m_job.get(), &BundleJob::succeeded, this, [this](const JobResult &result) { setTotals(result.summary); });
    connect(m_job.get(), &BundleJob::failed, this, &ContentView::showError);
    connect(m_job.get(), &BundleJob::copied, this, [this](const JobResult &result, const QString &file) {
        if (!m_copiedFile.isEmpty() && m_copiedFile != file)
            QDir(QFileInfo(m_copiedFile).absolutePath()).removeRecursively(); // the copy before
        m_copiedFile = file;
        m_copiedTokens = result.summary.estimatedTokens;
        setTotals(result.summary);
        m_quickCopy.setFile(QUrl::fromLocalFile(file));
        m_quickCopy.copy();
    });
    connect(&m_quickCopy, &BundleClipboard::stateChanged, this, [this] {
        QString message;
        if (m_quickCopy.state() == BundleClipboard::State::Copied)
            message = tr("Copied %1").arg(formatCount(m_copiedTokens, tr("token"), tr("tokens")));
        else if (m_quickCopy.state() != BundleClipboard::State::Copying && m_quickCopy.state() != BundleClipboard::State::Ready)
            message = m_quickCopy.message();
        assign(this, m_copyMessage, message, &ContentView::copyMessageChanged);
    });
    // A tick moves the totals at once; the estimate that confirms them follows.
    connect(&m_tree, &SelectionTree::ticksChanged, this, [this] {
        setTotals(m_tree.provisionalTotals(), true);
        m_estimatesManager->refreshSoon();
    });
    connect(m_job.get(), &BundleJob::wroteInsideSelection, this, [this](const QStringList &files) {
        for (const QString &file : files) {
            if (!m_bundlesInsideSelection.contains(file))
                m_bundlesInsideSelection << file;
        }
    });
    connect(m_job.get(), &BundleJob::outputFileChanged, this, [this] {
        m_clipboard.setFile(m_job->outputFile(), static_cast<int>(m_job->outputFiles().size()));
        emit outputFileChanged();
    });
    connect(m_job.get(), &BundleJob::screenChanged, this, [this] {
        // While the job runs or its totals show, estimates wait.
        m_estimatesManager->setHeld(m_job->screen() != BundleJob::Screen::Normal);
        emit isProcessingChanged();
    });
}

ContentView::~ContentView()
{
    m_estimatesManager->stopEstimate();
    m_job->cancel();
    m_worker.reset(); // waits for the stopped run; the runner then removes its staging directory
}

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
        m_estimatesManager->refreshSoon();
}

void ContentView::setIncludePatterns(const QString &patterns)
{
    if (assign(this, m_includePatterns, patterns, &ContentView::includePatternsChanged))
        m_estimatesManager->refreshSoon();
}

void ContentView::setShowIgnorePatterns(bool show)
{
    assign(this, m_showIgnorePatterns, show, &ContentView::showIgnorePatternsChanged);
}

void ContentView::setTotals(const RunSummary &summary, bool provisional)
{
    assign(this, m_totals.totalFiles, summary.totalFiles, &ContentView::totalFilesChanged);
    assign(this, m_totals.totalChars, summary.totalChars, &ContentView::totalCharsChanged);
    assign(this, m_totals.estimatedTokens, summary.estimatedTokens, &ContentView::estimatedTokensChanged);
    assign(this, m_totalsProvisional, provisional, &ContentView::totalsProvisionalChanged);
}

void ContentView::showError(const QString &message)
{
    assign(this, m_alertMessage, message, &ContentView::alertMessageChanged);
    setShowAlert(true);
}

void ContentView::putOnClipboard(const QString &text, const QString &file)
{
    auto *data = new QMimeData;
    data->setText(text);
    // Applications that take attachments take the bundle as a file.
    if (!file.isEmpty())
        data->setUrls({QUrl::fromLocalFile(file)});
    QGuiApplication::clipboard()->setMimeData(data);
}

JobInput ContentView::jobInput() const
{
    return {m_selection.urls(), m_options->values(), m_ignorePatterns, m_includePatterns, m_bundlesInsideSelection,
            m_tree.ticks()};
}

bool ContentView::handleDrop(const QList<QUrl> &urls)
{
    // The list changes at once (a large drop as soon as it is merged, off
    // this thread); the estimate follows half a second later, so that one
    // drop of many items causes one run. The warm packer starts with the
    // first items, behind the estimate's delay.
    if (!urls.isEmpty())
        m_repomix->startService();
    m_selection.addDropped(urls, [this](bool) { m_estimatesManager->refreshSoon(); });
    return true;
}

void ContentView::addFile(const QUrl &url)
{
    const QSignalBlocker quiet(&m_selection);
    m_selection.add({url});
}

void ContentView::removeFile(const QUrl &url)
{
    m_selection.remove(url);
}

void ContentView::clearAll()
{
    m_selection.clear();
}

void ContentView::chooseFiles()
{
    if (m_job->screen() == BundleJob::Screen::Normal)
        emit addItemsRequested(false);
}

void ContentView::chooseFolder()
{
    if (m_job->screen() == BundleJob::Screen::Normal)
        emit addItemsRequested(true);
}

void ContentView::updateEstimates()
{
    m_estimatesManager->updateEstimates();
}

bool ContentView::handleListKey(int key)
{
    if (key == Qt::Key_Escape && m_estimatesManager->stop())
        return true;
    return m_selection.handleKey(key);
}

void ContentView::startBundling()
{
    m_job->start();
}

void ContentView::resetState()
{
    m_job->close();
    m_selection.clear();
}

void ContentView::backToList()
{
    m_job->close();
    updateEstimates();
}
