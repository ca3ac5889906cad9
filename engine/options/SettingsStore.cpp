#include "SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
// The files QSettings reads for the organisation and application, in the
// given configuration folder, named as QSettings names them.
QStringList filesIn(const QString &folder)
{
    const QDir dir(folder);
    QString organization = QCoreApplication::organizationName();
    if (organization.isEmpty())
        organization = QCoreApplication::organizationDomain();
    if (organization.isEmpty())
        organization = QStringLiteral("Unknown Organization");
    const QString application = QCoreApplication::applicationName();
    QStringList files{dir.filePath(organization + QStringLiteral(".conf"))};
    if (!application.isEmpty())
        files.prepend(dir.filePath(organization + QLatin1Char('/') + application + QStringLiteral(".conf")));
    return files;
}
#endif

} // namespace

namespace SettingsStore {

QString unsafeFile()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // The user's files and the system-wide ones it falls back to.
    for (const QString &folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation)) {
        for (const QString &file : filesIn(folder)) {
            const QFileInfo info(file);
            if (info.exists() && !info.isFile())
                return file;
        }
    }
#endif
    return {};
}

QStringList files()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    return filesIn(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
#else
    // A property list or the registry: naming it opens nothing that blocks.
    const QString file = QSettings().fileName();
    return QDir::isAbsolutePath(file) ? QStringList{file} : QStringList{};
#endif
}

std::unique_ptr<QSettings> open()
{
    if (!unsafeFile().isEmpty())
        return nullptr;
    return std::make_unique<QSettings>();
}

} // namespace SettingsStore
