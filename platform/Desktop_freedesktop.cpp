#include "Desktop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace {
// Lumbrel's own desktop entry: a folder handed to it would join its list
// instead of opening in a file manager.
const QString ownEntry = QStringLiteral("app.lumbrel.Lumbrel.desktop");
const QString folderType = QStringLiteral("inode/directory");

// The desktop entries that the caches of the application folders list for
// folders, in lookup order (the user's folder first).
QStringList folderHandlersFromCaches()
{
    QStringList handlers;
    const QString key = folderType + QLatin1Char('=');
    for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        QFile cache(dir + QStringLiteral("/mimeinfo.cache"));
        if (!cache.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        while (!cache.atEnd()) {
            const QString line = QString::fromUtf8(cache.readLine()).trimmed();
            if (line.startsWith(key))
                handlers << line.mid(key.size()).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        }
    }
    handlers.removeDuplicates();
    return handlers;
}

// The command line that a desktop entry's Exec key gives for one folder, by
// the freedesktop.org rules for Exec: string escapes first, then quoting,
// then the field codes. Empty when the entry is missing, hidden or has no Exec.
QStringList commandFor(const QString &entryId, const QString &folder)
{
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entryId);
    QFile entry(path);
    if (path.isEmpty() || !entry.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QString exec, name;
    bool inMainGroup = false;
    while (!entry.atEnd()) {
        const QString line = QString::fromUtf8(entry.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        else if (inMainGroup && line == QLatin1String("Hidden=true"))
            return {};
        else if (inMainGroup && line.startsWith(QLatin1String("Exec=")))
            exec = line.mid(5);
        else if (inMainGroup && line.startsWith(QLatin1String("Name=")))
            name = line.mid(5);
    }

    // The key file's string escapes: "\\s" is a space, "\\\\" a backslash.
    QString line;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        QChar c = exec.at(i);
        if (c == QLatin1Char('\\') && i + 1 < exec.size()) {
            const QChar next = exec.at(++i);
            c = next == QLatin1Char('s') ? QLatin1Char(' ')
                : next == QLatin1Char('t') ? QLatin1Char('\t')
                : next == QLatin1Char('n') ? QLatin1Char('\n')
                : next == QLatin1Char('r') ? QLatin1Char('\r')
                                           : next;
        }
        line += c;
    }

    // Arguments split at blanks outside double quotes; inside them a backslash
    // quotes the next '"', '`', '$' or '\\'. Field codes count outside quotes.
    QStringList arguments;
    QString current;
    bool inArgument = false, quoted = false, hasFile = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == QLatin1Char('"'))
                quoted = false;
            else if (c == QLatin1Char('\\') && i + 1 < line.size() && QStringLiteral("\"`$\\").contains(line.at(i + 1)))
                current += line.at(++i);
            else
                current += c;
        } else if (c == QLatin1Char('"')) {
            quoted = inArgument = true;
        } else if (c.isSpace()) {
            if (inArgument)
                arguments << current;
            current.clear();
            inArgument = false;
        } else if (c == QLatin1Char('%') && i + 1 < line.size()) {
            const char code = line.at(++i).toLatin1();
            const QString expansion = code == 'f' || code == 'F' ? folder
                : code == 'u' || code == 'U'                     ? QUrl::fromLocalFile(folder).toString()
                : code == 'c'                                    ? name
                : code == 'k'                                    ? path
                : code == '%'                                    ? QStringLiteral("%")
                                                                 : QString(); // %i and the deprecated codes
            hasFile = hasFile || QByteArrayLiteral("fFuU").contains(code);
            current += expansion;
            inArgument = inArgument || !expansion.isEmpty();
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        arguments << current;
    if (!hasFile && !arguments.isEmpty())
        arguments << folder; // as xdg-open does for an entry without a file code
    return arguments;
}

// Opens a folder with the desktop's handler for folders, but never with
// Lumbrel itself: the handler that xdg-mime names (it knows each desktop's
// own defaults) unless that is Lumbrel or there is none, else the first other
// entry that the caches list. `failed` runs when no other handler exists.
void openFolder(const QString &folder, const std::function<void()> &failed)
{
    auto *query = new QProcess(QCoreApplication::instance());
    const auto launch = [query, folder, failed](const QString &defaultHandler) {
        QStringList candidates = folderHandlersFromCaches();
        if (!defaultHandler.isEmpty())
            candidates.prepend(defaultHandler);
        bool launched = false;
        for (const QString &candidate : std::as_const(candidates)) {
            if (candidate == ownEntry)
                continue;
            const QStringList command = commandFor(candidate, folder);
            if (!command.isEmpty() && QProcess::startDetached(command.first(), command.mid(1))) {
                launched = true;
                break;
            }
        }
        if (!launched && failed)
            failed();
        query->deleteLater();
    };
    QObject::connect(query, &QProcess::finished, query, [query, launch](int exitCode, QProcess::ExitStatus status) {
        const bool answered = status == QProcess::NormalExit && exitCode == 0;
        launch(answered ? QString::fromUtf8(query->readAllStandardOutput()).trimmed() : QString());
    });
    QObject::connect(query, &QProcess::errorOccurred, query, [launch](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) // no xdg-utils: the caches alone decide
            launch(QString());
    });
    query->start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), folderType});
}

void openParentFolder(const QString &localPath, const std::function<void()> &failed)
{
    openFolder(QFileInfo(localPath).absolutePath(), failed);
}

// What the desktop's own files say about animations: GTK's settings
// (gtk-enable-animations) and KDE's (an animation speed of 0).
bool animationsOffInFiles()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    // Only a regular file is read: opening a FIFO in its place would block the window.
    const auto iniValue = [&config](const QString &file, const QString &key) {
        const QString path = config + file;
        return QFileInfo(path).isFile() ? QSettings(path, QSettings::IniFormat).value(key) : QVariant();
    };
    for (const char *gtk : {"/gtk-4.0/settings.ini", "/gtk-3.0/settings.ini"}) {
        const QString value = iniValue(QLatin1String(gtk), QStringLiteral("Settings/gtk-enable-animations")).toString().trimmed();
        if (!value.isEmpty())
            return value == QLatin1String("false") || value == QLatin1String("0");
    }
    const QVariant factor = iniValue(QStringLiteral("/kdeglobals"), QStringLiteral("KDE/AnimationDurationFactor"));
    return factor.isValid() && factor.toDouble() == 0.0;
}

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString portalSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString gnomeInterface = QStringLiteral("org.gnome.desktop.interface");
const QString animationsKey = QStringLiteral("enable-animations");

// Hears the desktop portal's setting changes (its signal needs a slot).
class PortalAnimations : public QObject
{
    Q_OBJECT
public:
    PortalAnimations(QObject *context, std::function<void(bool)> changed)
        : QObject(context), m_changed(std::move(changed))
    {
    }

public slots:
    void settingChanged(const QString &group, const QString &key, const QDBusVariant &value)
    {
        if (group == gnomeInterface && key == animationsKey)
            m_changed(!value.variant().toBool());
    }

private:
    std::function<void(bool)> m_changed;
};
} // namespace

namespace platform {

// Uses the file manager service of freedesktop.org desktops; where there is no
// session bus or no such service, opens the enclosing folder instead.
void revealInFileManager(const QString &localPath, std::function<void()> failed)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openParentFolder(localPath, failed);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(localPath).toString(QUrl::FullyEncoded)} << QString();

    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [localPath, failed](QDBusPendingCallWatcher *done) {
                         const QDBusError error = done->error();
                         // A late answer may still mean the window is on its way;
                         // a second window for the same request would be worse.
                         if (done->isError() && error.type() != QDBusError::NoReply
                             && error.type() != QDBusError::Timeout)
                             openParentFolder(localPath, failed);
                         done->deleteLater();
                     });
}

QString revealActionText()
{
    return QCoreApplication::translate("Reveal", "Show in File Manager");
}

bool closeHidesApplication()
{
    return false;
}

void hideApplication()
{
}

// Qt hands a link to xdg-open, which answers before the mail program starts,
// so that a missing one would go unseen: the MIME database says first
// whether the desktop has one.
void openMailLink(const QUrl &link, std::function<void(bool opened)> done)
{
    auto *query = new QProcess(QCoreApplication::instance());
    QObject::connect(query, &QProcess::finished, query, [query, link, done](int exitCode, QProcess::ExitStatus status) {
        const bool known = status == QProcess::NormalExit && exitCode == 0
            && !query->readAllStandardOutput().trimmed().isEmpty();
        // The same xdg-utils open it, as Qt itself would on this desktop.
        done(known && QProcess::startDetached(QStringLiteral("xdg-open"), {link.toString(QUrl::FullyEncoded)}));
        query->deleteLater();
    });
    QObject::connect(query, &QProcess::errorOccurred, query, [query, link, done](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        done(QDesktopServices::openUrl(link)); // no xdg-utils: Qt's own way, which says when it finds none
        query->deleteLater();
    });
    query->start(QStringLiteral("xdg-mime"),
                 {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/mailto")});
}

// The desktop portal carries GNOME's setting (and any desktop's that maps
// onto it) and its changes; without a portal the settings files decide.
void watchReducedMotion(QObject *context, std::function<void(bool reduced)> changed)
{
    changed(animationsOffInFiles());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    auto *portal = new PortalAnimations(context, changed);
    bus.connect(portalService, portalPath, portalSettings, QStringLiteral("SettingChanged"), portal,
                SLOT(settingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read = QDBusMessage::createMethodCall(portalService, portalPath, portalSettings, QStringLiteral("Read"));
    read << gnomeInterface << animationsKey;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(read), portal);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, portal, [changed](QDBusPendingCallWatcher *done) {
        done->deleteLater();
        if (done->isError())
            return; // no portal, or it does not know the key
        // Read answers a variant holding the setting's variant.
        QVariant value = done->reply().arguments().value(0);
        while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
            value = value.value<QDBusVariant>().variant();
        if (value.userType() == QMetaType::Bool)
            changed(!value.toBool());
    });
}

void watchApplicationEvents(QObject *, std::function<void(const QList<QUrl> &)>, std::function<void()>)
{
}

} // namespace platform

#include "Desktop_freedesktop.moc"
