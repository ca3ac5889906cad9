#pragma once

#include "BundleClipboard.h"
#include "BundleJob.h"
#include "BundleOptions.h"
#include "EstimatesManager.h"
#include "FileSelection.h"
#include "RepomixWrapper.h"
#include "RunSummary.h"
#include "SelectionTree.h"

#include <QObject>
#include <QUrl>

#include <memory>

class PackerWorker;

// The state of the main screen, owned in one place: the options, the
// selection with its highlight, the live estimates, the bundle job, and the
// totals that the estimates and the job both write. The packer runs on one
// worker thread, so the window never waits for it, and an estimate and a
// bundle never use the runner at once.
class ContentView : public QObject
{
    Q_OBJECT
    Q_PROPERTY(BundleOptions *options READ options CONSTANT)
    Q_PROPERTY(FileSelection *selection READ selection CONSTANT)
    Q_PROPERTY(FileListModel *files READ files CONSTANT)
    Q_PROPERTY(FileSelectionState *selectionState READ selectionState CONSTANT)
    Q_PROPERTY(EstimatesManager *estimatesManager READ estimatesManager CONSTANT)
    Q_PROPERTY(BundleJob *job READ job CONSTANT)
    Q_PROPERTY(BundleClipboard *clipboard READ clipboard CONSTANT)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged)
    Q_PROPERTY(QUrl outputFile READ outputFile NOTIFY outputFileChanged)
    Q_PROPERTY(bool showAlert READ showAlert WRITE setShowAlert NOTIFY showAlertChanged)
    Q_PROPERTY(QString alertMessage READ alertMessage NOTIFY alertMessageChanged)
    Q_PROPERTY(qint64 totalFiles READ totalFiles NOTIFY totalFilesChanged)
    Q_PROPERTY(qint64 totalChars READ totalChars NOTIFY totalCharsChanged)
    Q_PROPERTY(qint64 estimatedTokens READ estimatedTokens NOTIFY estimatedTokensChanged)
    Q_PROPERTY(bool showSettings READ showSettings WRITE setShowSettings NOTIFY showSettingsChanged)
    Q_PROPERTY(QString ignorePatterns READ ignorePatterns WRITE setIgnorePatterns NOTIFY ignorePatternsChanged)
    // Comma-separated patterns: only the files they match are packed. Not kept between runs.
    Q_PROPERTY(QString includePatterns READ includePatterns WRITE setIncludePatterns NOTIFY includePatternsChanged)
    Q_PROPERTY(bool showIgnorePatterns READ showIgnorePatterns WRITE setShowIgnorePatterns NOTIFY showIgnorePatternsChanged)
    // The choice inside the listed folders (ticks, the heaviest files, changed files).
    Q_PROPERTY(SelectionTree *tree READ tree CONSTANT)
    // The totals follow a change of the ticks at once, from the files' own
    // counts; true until the next estimate confirms them.
    Q_PROPERTY(bool totalsProvisional READ totalsProvisional NOTIFY totalsProvisionalChanged)
    // What "Copy" without saving did ("Copied 182,581 tokens"), for the status bar; empty otherwise.
    Q_PROPERTY(QString copyMessage READ copyMessage NOTIFY copyMessageChanged)

public:
    // `options` stays owned by the caller; `packer` lets tests put a stand-in
    // in place of the bundled packer.
    explicit ContentView(BundleOptions *options, PackerLocation packer = PackerLocation::bundled(),
                         QObject *parent = nullptr);
    // Stops a running packer and removes its staging directory.
    ~ContentView() override;

    BundleOptions *options() const { return m_options; }
    FileSelection *selection() { return &m_selection; }
    FileListModel *files() { return m_selection.files(); }
    FileSelectionState *selectionState() { return m_selection.selectionState(); }
    EstimatesManager *estimatesManager() { return m_estimatesManager.get(); }
    BundleJob *job() { return m_job.get(); }
    BundleClipboard *clipboard() { return &m_clipboard; }
    SelectionTree *tree() { return &m_tree; }
    bool totalsProvisional() const { return m_totalsProvisional; }
    QString copyMessage() const { return m_copyMessage; }
    RepomixWrapper &repomix() { return *m_repomix; }

    bool isProcessing() const { return m_job->screen() == BundleJob::Screen::Processing; }
    QUrl outputFile() const { return m_job->outputFile(); }
    bool showAlert() const { return m_showAlert; }
    void setShowAlert(bool show);
    QString alertMessage() const { return m_alertMessage; }
    qint64 totalFiles() const { return m_totals.totalFiles; }
    qint64 totalChars() const { return m_totals.totalChars; }
    qint64 estimatedTokens() const { return m_totals.estimatedTokens; }
    bool showSettings() const { return m_showSettings; }
    // Closing the settings refreshes the estimates.
    void setShowSettings(bool show);
    QString ignorePatterns() const { return m_ignorePatterns; }
    // Each new text goes to the debounced estimate.
    void setIgnorePatterns(const QString &patterns);
    QString includePatterns() const { return m_includePatterns; }
    void setIncludePatterns(const QString &patterns);
    bool showIgnorePatterns() const { return m_showIgnorePatterns; }
    void setShowIgnorePatterns(bool show);

    // Selection. A drop (or an open request) adds its local files and
    // folders and refreshes the estimates half a second later.
    Q_INVOKABLE bool handleDrop(const QList<QUrl> &urls);
    Q_INVOKABLE void addFile(const QUrl &url);
    Q_INVOKABLE void removeFile(const QUrl &url);
    Q_INVOKABLE void clearAll();
    // Asks the view for a dialog to choose files or a folder (addItemsRequested);
    // what is chosen comes back through handleDrop.
    Q_INVOKABLE void chooseFiles();
    Q_INVOKABLE void chooseFolder();

    // Estimates.
    Q_INVOKABLE void updateEstimates();
    // A key on the list (or on the window with nothing else focused):
    // Escape stops a running estimate, the others move the selection.
    Q_INVOKABLE bool handleListKey(int key);

    // Bundle job: "Start bundling", then the save dialog (see BundleJob).
    Q_INVOKABLE void startBundling();
    // From the completion screen: "Bundle More Files" empties the selection;
    // backToList keeps it, with the options and patterns.
    Q_INVOKABLE void resetState();
    Q_INVOKABLE void backToList();

    JobInput jobInput() const;

signals:
    void isProcessingChanged();
    void outputFileChanged();
    void showAlertChanged();
    void alertMessageChanged();
    void totalFilesChanged();
    void totalCharsChanged();
    void estimatedTokensChanged();
    void showSettingsChanged();
    void ignorePatternsChanged();
    void includePatternsChanged();
    void showIgnorePatternsChanged();
    void totalsProvisionalChanged();
    void copyMessageChanged();

    // Requests for the view.
    void addItemsRequested(bool folder);

private:
    void setTotals(const RunSummary &summary, bool provisional = false);
    static void putOnClipboard(const QString &text, const QString &file);
    void showError(const QString &message);

    BundleOptions *m_options;
    FileSelection m_selection;
    SelectionTree m_tree{m_selection};
    std::unique_ptr<RepomixWrapper> m_repomix;
    std::unique_ptr<PackerWorker> m_worker; // after the runner: stops before it
    std::unique_ptr<EstimatesManager> m_estimatesManager;
    std::unique_ptr<BundleJob> m_job;
    BundleClipboard m_clipboard;

    bool m_showAlert = false;
    QString m_alertMessage;
    RunSummary m_totals;
    bool m_showSettings = false;
    QString m_ignorePatterns;
    QString m_includePatterns;
    QStringList m_bundlesInsideSelection; // written by this window inside chosen folders: never packed
    bool m_showIgnorePatterns = false;
    bool m_totalsProvisional = false;
    // "Copy" without saving: the bundle's text, and the bundle as a file in
    // the session (kept until the next copy or the end), go on the clipboard.
    QString m_copiedFile;
    QString m_copyMessage;
    qint64 m_copiedTokens = 0;
    BundleClipboard m_quickCopy;
};
