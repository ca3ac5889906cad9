#pragma once

#include <QString>

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

} // namespace platform
