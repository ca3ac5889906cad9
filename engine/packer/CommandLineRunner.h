#pragma once

#include "PackerLocation.h"
#include "PackerRunner.h"

// The packer's own command line: one process of the bundled runtime per
// run, in its own process group that dies with this process. Its report is
// the process's standard output; it gives no per-file counts.
class CommandLineRunner final : public PackerRunner
{
public:
    explicit CommandLineRunner(PackerLocation location);

    Result<PackerRun> run(const PackerInvocation &invocation, std::stop_token stop,
                          const PackerProgressHandler &progress) override;

private:
    PackerLocation m_location;
};

// Reads `bytes` as UTF-8; nothing when they are not valid UTF-8.
std::optional<QString> decodeUtf8(const QByteArray &bytes);
