#include "SupportRequest.h"

#include "BuildConfig.h"
#include "Log.h"

#include "Desktop.h"

namespace SupportRequest {

namespace {
// Besides letters, digits and "-._~", which are never encoded.
const QByteArray queryAllowed = QByteArrayLiteral("!$&'()*+,/:;=?@");

QString encoded(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text, queryAllowed));
}
} // namespace

QString address()
{
    return QString::fromUtf8(buildconfig::supportAddress);
}

QString mailtoText(const QString &address, const QString &subject, const QString &body)
{
    return QStringLiteral("mailto:") + address + QStringLiteral("?subject=") + encoded(subject)
        + QStringLiteral("&body=") + encoded(body);
}

void contactSupport(std::function<void(bool opened)> done, const MailOpener &open)
{
    const QUrl url(mailtoText(address(), subject, body), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("mailto")) {
        logLine(QStringLiteral("Failed to create mailto URL"));
        if (done)
            done(false);
        return;
    }
    const auto answer = [done](bool opened) {
        if (done)
            done(opened);
    };
    if (open)
        open(url, answer);
    else
        platform::openMailLink(url, answer);
}

} // namespace SupportRequest
