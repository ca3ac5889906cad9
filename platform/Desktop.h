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
// Returns at once; `failed` runs later, on the calling thread, when no file
// manager could be asked.
void revealInFileManager(const QString &localPath, std::function<void()> failed = {});

// The label of the action that reveals an item, named after the file manager.
QString revealActionText();

// Whether closing the main window hides the application and leaves it
// running (macOS, where the Dock shows it and brings it back) rather than
// quitting it (elsewhere, where nothing would show that it still runs).
bool closeHidesApplication();

// Hides the whole application where the platform has that notion (macOS);
// elsewhere the window hides itself and this does nothing.
void hideApplication();

// Opens a "mailto:" link with the user's mail program. `done` hears, on the
// calling thread, whether a mail program was there to take it.
void openMailLink(const QUrl &link, std::function<void(bool opened)> done);

// Reports whether the desktop asks applications to leave out animations
// that are not needed (reduced motion): once with the current setting, maybe
// later than the call, then on each change the platform reports. `context`
// owns the watch.
void watchReducedMotion(QObject *context, std::function<void(bool reduced)> changed);

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
