#pragma once

#include "BundleClipboard.h"
#include "BundleJob.h"
#include "BundleOptions.h"
#include "EstimatesManager.h"
#include "FileSelection.h"
#include "RecentSelections.h"
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
    Q_PROPERTY(SelectionHistory *history READ history CONSTANT)
    Q_PROPERTY(RecentSelections *recent READ recent CONSTANT)
    Q_PROPERTY(bool showAlert READ showAlert WRITE setShowAlert NOTIFY showAlertChanged)
    // The alert's title names what failed ("Saving the bundle failed").
    Q_PROPERTY(QString alertTitle READ alertTitle NOTIFY alertMessageChanged)
    Q_PROPERTY(QString alertMessage READ alertMessage NOTIFY alertMessageChanged)
    // The alert offers "Choose Another Location…": the place to save was the problem.
    Q_PROPERTY(bool alertOffersOtherLocation READ alertOffersOtherLocation NOTIFY alertMessageChanged)
    // What the status bar says about the latest addition that was refused
    // ("not found: /home/ann/gone.txt"); empty when nothing was.
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)
    // "Start bundling" can go: items are listed, no estimate runs, and the
    // latest estimate did not fail (its reason is the estimate's error).
    Q_PROPERTY(bool canStart READ canStart NOTIFY canStartChanged)
    // The latest text for a screen reader to speak (see announced).
    Q_PROPERTY(QString announcement READ announcement NOTIFY announced)
    Q_PROPERTY(qint64 totalFiles READ totalFiles NOTIFY totalFilesChanged)
    Q_PROPERTY(qint64 totalChars READ totalChars NOTIFY totalCharsChanged)
    Q_PROPERTY(qint64 estimatedTokens READ estimatedTokens NOTIFY estimatedTokensChanged)
    // The context limit the user chose in the options ("200K").
    Q_PROPERTY(QString contextLimit READ contextLimit NOTIFY contextLimitChanged)
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
    QString contextLimit() const;
    QString copyMessage() const { return m_copyMessage; }
    RepomixWrapper &repomix() { return *m_repomix; }
    SelectionHistory *history() { return m_selection.history(); }
    RecentSelections *recent() { return &m_recent; }

    bool isProcessing() const { return m_job->screen() == BundleJob::Screen::Processing; }
    QUrl outputFile() const { return m_job->outputFile(); }
    bool showAlert() const { return m_showAlert; }
    void setShowAlert(bool show);
    QString alertMessage() const { return m_alertMessage; }
    QString alertTitle() const { return m_alertTitle; }
    bool alertOffersOtherLocation() const { return m_alertOffersOtherLocation; }
    QString statusMessage() const { return m_statusMessage; }
    bool canStart() const { return m_canStart; }
    QString announcement() const { return m_announcement; }
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
    // folders and refreshes the estimates half a second later; a location
    // that is missing or cannot be read is refused and said in statusMessage.
    Q_INVOKABLE bool handleDrop(const QList<QUrl> &urls);
    Q_INVOKABLE void addFile(const QUrl &url);
    // Removing a row and "Clear All" can be undone.
    Q_INVOKABLE void removeFile(const QUrl &url);
    Q_INVOKABLE void clearAll();
    // Takes the newest removal back (Ctrl+Z, the notice's "Undo").
    Q_INVOKABLE void undo();
    // File › Open Recent: the list becomes that selection (undoable).
    Q_INVOKABLE void openRecent(int row);
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
    // The alert's "Choose Another Location…": the save dialog again.
    Q_INVOKABLE void chooseAnotherLocation();
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
    void contextLimitChanged();
    void showSettingsChanged();
    void ignorePatternsChanged();
    void includePatternsChanged();
    void showIgnorePatternsChanged();
    void statusMessageChanged();
    void canStartChanged();
    // Something a screen reader should speak now; each call counts, also
    // with the same text as before.
    void announced(const QString &text);
    void totalsProvisionalChanged();
    void copyMessageChanged();

    // Requests for the view.
    void addItemsRequested(bool folder);

private:
    void setTotals(const RunSummary &summary, bool provisional = false);
    static void putOnClipboard(const QString &text, const QString &file);
    void showError(const QString &title, const QString &message, bool offerOtherLocation = false);
    void setStatusMessage(const QString &message);
    // `urls` without the ones that cannot join the list, which are said.
    QList<QUrl> usable(const QList<QUrl> &urls);
    static QString totalsText(const RunSummary &summary);
    void updateCanStart();
    void announce(const QString &text);

    BundleOptions *m_options;
    FileSelection m_selection;
    SelectionTree m_tree{m_selection};
    std::unique_ptr<RepomixWrapper> m_repomix;
    std::unique_ptr<PackerWorker> m_worker; // after the runner: stops before it
    std::unique_ptr<EstimatesManager> m_estimatesManager;
    std::unique_ptr<BundleJob> m_job;
    BundleClipboard m_clipboard;
    RecentSelections m_recent;

    bool m_showAlert = false;
    QString m_alertMessage;
    QString m_alertTitle;
    bool m_alertOffersOtherLocation = false;
    QString m_statusMessage;
    bool m_canStart = false;
    QString m_announcement;
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
