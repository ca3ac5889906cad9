#include "Desktop.h"

#import <AppKit/AppKit.h>

#include <QFileOpenEvent>
#include <QGuiApplication>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace platform {

void revealInFileManager(const QString &localPath, std::function<void()> failed)
{
    if (!QProcess::startDetached(QStringLiteral("/usr/bin/open"), {QStringLiteral("-R"), localPath}) && failed)
        failed();
}

QString revealActionText()
{
    return QCoreApplication::translate("Reveal", "Show in Finder");
}

bool closeHidesApplication()
{
    return true; // the Dock shows the running application and brings its window back
}

void hideApplication()
{
    [NSApp hide:nil];
}

// Launch Services refuses a link no program is registered for.
void openMailLink(const QUrl &link, std::function<void(bool opened)> done)
{
    done(QDesktopServices::openUrl(link));
}

// "Reduce motion" (System Settings, Accessibility, Display), and its changes.
void watchReducedMotion(QObject *context, std::function<void(bool reduced)> changed)
{
    changed([[NSWorkspace sharedWorkspace] accessibilityDisplayShouldReduceMotion]);
    id observer = [[[NSWorkspace sharedWorkspace] notificationCenter]
        addObserverForName:NSWorkspaceAccessibilityDisplayOptionsDidChangeNotification
                    object:nil
                     queue:[NSOperationQueue mainQueue]
                usingBlock:^(NSNotification *) {
                    changed([[NSWorkspace sharedWorkspace] accessibilityDisplayShouldReduceMotion]);
                }];
    QObject::connect(context, &QObject::destroyed, [observer] {
        [[[NSWorkspace sharedWorkspace] notificationCenter] removeObserver:observer];
    });
}

namespace {
// Finder's open requests arrive as QFileOpenEvent on the application object.
class OpenEventFilter : public QObject
{
public:
    OpenEventFilter(QObject *parent, std::function<void(const QList<QUrl> &)> opened)
        : QObject(parent), m_opened(std::move(opened)) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FileOpen) {
            m_opened({static_cast<QFileOpenEvent *>(event)->url()});
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(const QList<QUrl> &)> m_opened;
};
} // namespace

void watchApplicationEvents(QObject *context, std::function<void(const QList<QUrl> &)> openRequested,
                            std::function<void()> reactivated)
{
    qApp->installEventFilter(new OpenEventFilter(context, std::move(openRequested)));
    // A click on the Dock icon, or a relaunch, activates the application;
    // after its window was hidden that brings the window back.
    QObject::connect(qApp, &QGuiApplication::applicationStateChanged, context,
                     [reactivated = std::move(reactivated)](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive)
                             reactivated();
                     });
}

} // namespace platform
