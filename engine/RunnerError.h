#pragma once

#include "AppError.h"

// The errors the runner raises itself (domain "RepomixWrapper"): their codes
// and the one error of a run or staging that a stop request ended.
namespace RunnerError {

enum Code {
    UnreadableOutput = -1, // also: failed with an unreadable message
    RuntimeMissing = -2,
    ScriptMissing = -3,
    NoOutputWritten = -4,
    Stopped = -5,
    Crashed = -6,
    NoTemporaryFolder = -7,
    OutputExists = -8,
    NotEnoughSpace = -9,
    NothingPacked = -10,
    DestinationIsInput = -11,
};

inline AppError make(Code code, const QString &description)
{
    return AppError::wrapper(code, description);
}

inline AppError stopped()
{
    return make(Stopped, QStringLiteral("The packer was stopped."));
}

inline bool isStopped(const AppError &error)
{
    return error.domain == AppError::wrapperDomain && error.code == Stopped;
}

} // namespace RunnerError
