#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

class QObject;

// The desktop services that differ between platforms. One file implements
// them per platform family: Desktop_freedesktop.cpp (Linux and other
// freedesktop.org desktops), Desktop_mac.mm, Desktop_win.cpp; the signal
// handling comes from Signals_unix.cpp or Signals_other.cpp.
namespace platform {

// Asks the file manager to show the item at an absolute local path selected.
// Returns at once and reports nothing.
void revealInFileManager(const QString &localPath);

// The label of the action that reveals an item, named after the file manager.
QString revealActionText();

// Hides the whole application where the platform has that notion (macOS);
// elsewhere the window hides itself and this does nothing.
void hideApplication();

// Turns SIGTERM, SIGINT and SIGHUP into an orderly quit of the event loop,
// so that a running packer is stopped and its staging copy removed. Does
// nothing where there are no such signals.
void quitOnTerminationSignals();

// Reports the requests that reach a running application as events rather than
// through its command line (macOS: a file given to it in Finder or dropped on
// its Dock icon, and a click on the Dock icon or a relaunch while its window
// is hidden). Elsewhere these come through the command line and the
// single-instance hand-over, and this does nothing. `context` owns the watch.
void watchApplicationEvents(QObject *context, std::function<void(const QList<QUrl> &)> openRequested,
                            std::function<void()> reactivated);

} // namespace platform
