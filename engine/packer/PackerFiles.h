#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// What the application reads from the packer's own files, so that staging
// follows the packer it ships with rather than a copy of its settings.
namespace PackerFiles {

// The packer's default ignore list (lib/config/defaultIgnore.js under
// `packerDirectory`). Nothing when it cannot be read or is not a plain list
// of patterns; `problem` then says why.
std::optional<QStringList> defaultIgnorePatterns(const QString &packerDirectory, QString *problem = nullptr);

// The largest file the packer reads (the default of its input.maxFileSize
// in lib/config/configSchema.js), or 0 when that cannot be read.
std::uintmax_t maxFileSize(const QString &packerDirectory);

// The file name extensions (lower case, without the dot) the packer takes
// for binary files and never reads (its modules' binary-extensions list);
// none when the list cannot be read.
QSet<QString> binaryExtensions(const QString &packerDirectory);

// Whether the packer, run in a folder, takes a file of this name there as
// its own rather than as a file to pack: its configuration (which it loads,
// and runs where it is a script) and the files of its earlier name, which
// it offers to migrate with a question on the terminal. A run whose working
// folder holds a chosen file must not have such a name there.
bool readsInItsWorkingFolder(QStringView name);

} // namespace PackerFiles
