#pragma once

#include <QString>

// Where the packer lives: the Node.js runtime and the packer's script.
struct PackerLocation
{
    QString runtime;
    QString script;

    // The runtime and script installed with the application, found once from
    // the application's own location.
    static const PackerLocation &bundled();

    // The packer's own folder (the one holding bin/ and lib/).
    QString packerDirectory() const;
};
