#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

// The application's own settings store. Everything that reads or names it
// goes through here, because merely opening a store whose file is not a
// regular file (a FIFO, a device, a folder) blocks or breaks: QSettings reads
// its files as it is constructed.
namespace SettingsStore {

// The store's file that is not a regular file, or empty where the store is
// safe to read (always empty where the store is not a file).
QString unsafeFile();

// The files the user's store is kept in, found without opening them; empty
// where the store is not a file (the registry).
QStringList files();

// The store, or null where unsafeFile() names a file.
std::unique_ptr<QSettings> open();

} // namespace SettingsStore
