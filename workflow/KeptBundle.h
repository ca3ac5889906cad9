#pragma once

#include "PackerJobs.h"
#include "SelectionSnapshot.h"

#include <QStringList>

#include <memory>
#include <mutex>

// The output of the last completed estimate, kept in the private area with
// what it packed, so that a bundle or a copy of exactly that selection right
// after it is that output, branded, instead of another run of the packer.
// It goes when the selection changes (clear()), when another estimate
// starts, and when a bundle of something else runs, so that the temporary
// disk never holds more than one output besides the one being made.
// Thread-safe: runs use it on the packer thread, the window clears it.
class KeptBundle
{
public:
    // One estimate's output; its files are removed with the last holder.
    struct Output
    {
        JobInput input;
        SelectionSnapshot snapshot;
        JobResult result;
        QString output;    // the file the packer was told to write
        QStringList files; // what it wrote: that file, or its numbered parts
        ~Output();
    };

    KeptBundle() = default;
    KeptBundle(const KeptBundle &) = delete;
    KeptBundle &operator=(const KeptBundle &) = delete;

    // Keeps `output` in place of what was kept; nothing when its snapshot
    // cannot be trusted (the files go at once).
    void keep(std::shared_ptr<Output> output);
    // The kept output for `input`, if it was made for that input; whether
    // the files are still what it packed is for the caller to compare.
    std::shared_ptr<const Output> forInput(const JobInput &input) const;
    // Drops what is kept (a bundle that uses it keeps it until it ends).
    void clear();
    // Bytes kept on the temporary disk.
    qint64 bytes() const;

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<const Output> m_output;
};
