#include "UserText.h"

#include <QRegularExpression>

namespace UserText {

QString cleaned(const QString &message)
{
    // Colour and cursor sequences of a terminal (CSI and OSC).
    static const QRegularExpression terminal(QStringLiteral(R"(\x1B(?:\[[0-?]*[ -/]*[@-~]|\][^\x07\x1B]*(?:\x07|\x1B\\)))"));
    // "<anything>/repomix-temp-<UUID>/" in front of a staged item's path.
    static const QRegularExpression staging(
        QStringLiteral(R"((?:[^\s"'`(\[]*/)?repomix-temp-[0-9A-Fa-f]{8}(?:-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}/?)"));
    // The scratch file the packer writes the bundle to.
    static const QRegularExpression scratch(QStringLiteral(R"((?:[^\s"'`(\[]*/)?output-[0-9a-fA-F-]{36}\.txt)"));

    QString text = message;
    text.remove(terminal);
    text.replace(staging, QString());
    text.replace(scratch, QStringLiteral("the bundle"));
    return text.trimmed();
}

} // namespace UserText
