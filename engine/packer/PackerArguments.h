#pragma once

#include "PackRequest.h"

#include <QStringList>

// The packer's job arguments for a request, built in this one place and
// never searched again: "--output" and the file, then each option of the
// table in its order (the style always, the others where they differ from
// the packer's own defaults), the ignore and include patterns (verbatim, as
// one argument each, unless the staging applied them), "--verbose", and
// "--no-default-patterns" where the staging applied the default rules. The
// directory to pack follows them (packerArguments adds it).
QStringList jobArguments(const PackRequest &request);

// The job arguments and the directory: the packer's command line after its script.
QStringList packerArguments(const PackRequest &request);
