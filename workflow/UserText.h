#pragma once

#include <QString>

// Turning what the system and the packer say into text for the user.
namespace UserText {

// The packer's message without terminal colour codes, without the private
// staging and scratch paths it was given (so a path reads as the user's own
// item), and trimmed.
QString cleaned(const QString &message);

} // namespace UserText
