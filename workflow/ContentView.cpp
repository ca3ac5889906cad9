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
    connect(m_options, &BundleOptions::valueChanged, this, [this](const QString &key) {
        if (key == QLatin1String(OptionKey::contextLimit))
            emit contextLimitChanged();
    });
    connect(m_options, &BundleOptions::storeFailed, this,
            [this](const QString &message) { showError(tr("Settings not saved"), message); });
    if (!m_options->storeProblem().isEmpty())
        QMetaObject::invokeMethod(
            this, [this] { showError(tr("Settings not saved"), m_options->storeProblem()); }, Qt::QueuedConnection);
    connect(&m_selection, &FileSelection::changed, m_estimatesManager.get(), &EstimatesManager::updateEstimates);
    // An estimate's output kept for a bundle of its selection goes with the selection.
    connect(&m_selection, &FileSelection::changed, this, [this] { m_worker->keptBundle().clear(); });
    // What was refused or copied is said until the selection changes.
    connect(&m_selection, &FileSelection::changed, this, [this] {
        setStatusMessage({});
        assign(this, m_copyMessage, QString(), &ContentView::copyMessageChanged);
    });
    connect(m_estimatesManager.get(), &EstimatesManager::estimated, this, [this](const JobResult &result) {
        m_tree.absorb(result);
        setTotals(result.summary);
        m_selection.files()->setShares(result.shares());
        if (!m_selection.urls().isEmpty())
            announce(totalsText(result.summary));
    });
    connect(m_estimatesManager.get(), &EstimatesManager::errorMessageChanged, this, [this] {
        if (const QString error = m_estimatesManager->errorMessage(); !error.isEmpty())
            announce(tr("Estimate failed: %1").arg(error));
    });
    connect(history(), &SelectionHistory::changed, this, [this] {
        if (history()->noticeShown())
            announce(tr("%1. Undo with Ctrl+Z.").arg(history()->lastChange()));
    });
    for (const auto changed : {&EstimatesManager::isEstimatingChanged, &EstimatesManager::errorMessageChanged})
        connect(m_estimatesManager.get(), changed, this, &ContentView::updateCanStart);
    connect(m_selection.files(), &FileListModel::countChanged, this, &ContentView::updateCanStart);

    connect(m_job.get(), &BundleJob::succeeded, this, [this](const JobResult &result) {
        setTotals(result.summary);
        m_recent.record(m_selection.urls());
        announce(tr("Bundling completed: %1").arg(totalsText(result.summary)));
    });
    connect(m_job.get(), &BundleJob::failedAction, this, [this](const QString &action, bool destinationProblem) {
        m_alertTitle = action;
        m_alertOffersOtherLocation = destinationProblem;
    });
    connect(m_job.get(), &BundleJob::failed, this,
            [this](const QString &message) { showError(m_alertTitle, message, m_alertOffersOtherLocation); });
    connect(m_job.get(), &BundleJob::stageChanged, this, [this] {
        // One announcement per step, also where the stage and the packer's step change together.
        if (m_job->screen() == BundleJob::Screen::Processing && m_job->stageText() != m_announcement)
            announce(m_job->stageText());
    });
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
    // Said once as they turn provisional, not at every tick; the confirmed totals are said again.
    connect(&m_tree, &SelectionTree::ticksChanged, this, [this] {
        assign(this, m_copyMessage, QString(), &ContentView::copyMessageChanged);
        const bool wasProvisional = m_totalsProvisional;
        setTotals(m_tree.provisionalTotals(), true);
        if (!wasProvisional)
            announce(tr("About %1 until the estimate confirms them").arg(totalsText(m_totals)));
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
        updateCanStart();
        if (m_job->screen() == BundleJob::Screen::Processing)
            announce(m_job->stageText()); // the first step
    });
}

ContentView::~ContentView()
{
    m_estimatesManager->stopEstimate();
    m_job->cancel();
    m_worker.reset(); // waits for the stopped run; the runner then removes its staging directory
}

QString ContentView::contextLimit() const
{
    return m_options->value(QString::fromLatin1(OptionKey::contextLimit));
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

void ContentView::showError(const QString &title, const QString &message, bool offerOtherLocation)
{
    m_alertTitle = title;
    m_alertOffersOtherLocation = offerOtherLocation;
    m_alertMessage = message;
    emit alertMessageChanged();
    setShowAlert(true);
}

void ContentView::setStatusMessage(const QString &message)
{
    if (assign(this, m_statusMessage, message, &ContentView::statusMessageChanged) && !message.isEmpty())
        announce(message);
}

void ContentView::updateCanStart()
{
    const bool can = !m_selection.urls().isEmpty() && m_job->screen() == BundleJob::Screen::Normal
        && !m_estimatesManager->isEstimating() && m_estimatesManager->errorMessage().isEmpty();
    assign(this, m_canStart, can, &ContentView::canStartChanged);
}

void ContentView::announce(const QString &text)
{
    m_announcement = text;
    emit announced(text);
}

QString ContentView::totalsText(const RunSummary &summary)
{
    return formatCount(summary.totalFiles, tr("file"), tr("files")) + QStringLiteral(", ")
        + formatCount(summary.totalChars, tr("character"), tr("characters")) + QStringLiteral(", ")
        + formatCount(summary.estimatedTokens, tr("token"), tr("tokens"));
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

QList<QUrl> ContentView::usable(const QList<QUrl> &urls)
{
    QList<QUrl> kept;
    kept.reserve(urls.size());
    QStringList refused;
    // A large drop is only looked up here (it is merged off this thread);
    // what cannot be read in it is said when it is packed.
    const auto check = urls.size() < FileSelection::backgroundAddingFrom ? FileSelection::Check::Readable
                                                                         : FileSelection::Check::Exists;
    for (const QUrl &url : urls) {
        if (const QString why = FileSelection::unusable(url, check); why.isEmpty())
            kept << url;
        else
            refused << why;
    }
    if (refused.size() > 1)
        refused = {tr("%1 (and %2 more)").arg(refused.first()).arg(refused.size() - 1)};
    setStatusMessage(refused.value(0));
    return kept;
}

bool ContentView::handleDrop(const QList<QUrl> &urls)
{
    // The list changes at once (a large drop as soon as it is merged, off
    // this thread); the estimate follows half a second later, so that one
    // drop of many items causes one run. What is missing or unreadable is
    // refused first and said. The warm packer starts with the first items,
    // behind the estimate's delay.
    if (!urls.isEmpty())
        m_repomix->startService();
    m_selection.addDropped(usable(urls), [this](bool) { m_estimatesManager->refreshSoon(); });
    return true;
}

void ContentView::addFile(const QUrl &url)
{
    const QList<QUrl> kept = usable({url});
    const QSignalBlocker quiet(&m_selection);
    m_selection.add(kept);
}

void ContentView::removeFile(const QUrl &url)
{
    m_selection.remove(url);
}

void ContentView::clearAll()
{
    m_selection.clear();
}

void ContentView::undo()
{
    if (m_job->screen() != BundleJob::Screen::Normal)
        return;
    const QString change = history()->lastChange();
    if (m_selection.undo())
        announce(tr("Undone: %1").arg(change));
}

void ContentView::openRecent(int row)
{
    const QList<QUrl> files = m_recent.at(row);
    if (files.isEmpty() || m_job->screen() != BundleJob::Screen::Normal || files == m_selection.urls())
        return;
    const QList<QUrl> kept = usable(files);
    const QSignalBlocker quiet(&m_selection); // the estimate follows as after a drop
    m_selection.replace(kept, tr("Opened a recent selection"));
    m_estimatesManager->refreshSoon();
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
    if (m_canStart)
        m_job->start();
}

void ContentView::chooseAnotherLocation()
{
    setShowAlert(false);
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
