#include "RepomixWrapper.h"

#include <QCoreApplication>
#include <QDir>

const PackerLocation &PackerLocation::bundled()
{
    static const PackerLocation location = [] {
        const QDir app(QCoreApplication::applicationDirPath());
#if defined(Q_OS_MACOS)
        // Contents/MacOS holds the runtime under its architecture's name,
        // Contents/Resources the packer.
#if defined(Q_PROCESSOR_ARM)
        const QString runtime = app.filePath(QStringLiteral("arm-node"));
#else
        const QString runtime = app.filePath(QStringLiteral("intel-node"));
#endif
        const QString resources = app.filePath(QStringLiteral("../Resources"));
#elif defined(Q_OS_WIN)
        const QString runtime = app.filePath(QStringLiteral("lumbrel-node.exe"));
        const QString resources = app.filePath(QStringLiteral("../share/lumbrel"));
#else
        const QString runtime = app.filePath(QStringLiteral("../libexec/lumbrel/node"));
        const QString resources = app.filePath(QStringLiteral("../share/lumbrel"));
#endif
        return PackerLocation{QDir::cleanPath(runtime),
                              QDir::cleanPath(resources) + QStringLiteral("/repomix/bin/repomix.cjs")};
    }();
    return location;
}
