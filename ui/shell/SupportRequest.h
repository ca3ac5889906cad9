#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace SupportRequest {

inline const QString subject = QStringLiteral("Lumbrel Support Request");
inline const QString body = QStringLiteral("Hello Lumbrel Team,\n\nI need assistance with the following:\n\n");

// The support address, fixed when the application is built.
QString address();

// "mailto:" + address + "?subject=" + subject + "&body=" + body, each text
// percent-encoded by its UTF-8 bytes except for the characters a URL query
// allows as they are. Spaces become %20, never "+".
QString mailtoText(const QString &address, const QString &subject, const QString &body);

// Opens a new message to support in the user's mail program; `done` hears
// whether a mail program took it. The opener stands in for the platform's
// (platform::openMailLink) in tests.
using MailOpener = std::function<void(const QUrl &, std::function<void(bool opened)>)>;
void contactSupport(std::function<void(bool opened)> done, const MailOpener &open = {});

} // namespace SupportRequest
