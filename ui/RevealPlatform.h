#pragma once

#include <QString>

// One of these is compiled per platform: Reveal_freedesktop.cpp, Reveal_mac.cpp
// or Reveal_win.cpp. The path is an absolute local path.
void platformRevealInFileManager(const QString &localPath);
QString platformRevealActionText();
