#pragma once

#include "BundleOptions.h"

#include <QStringList>

// The packer's job arguments, in their fixed order: output, style, the
// switches that differ from the packer's own defaults, the ignore patterns
// (verbatim, as one argument) and "--verbose".
QStringList buildArguments(const BundleOptions::Values &options, const QString &ignorePatterns,
                           const QString &outputPath);
