#include "GitChanges.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

struct GitRun
{
    bool ok = false;
    QByteArray output;
    QString error;
};

// One git command in `folder`; never waits longer than `git` takes, and ends
// it at once on a stop request.
GitRun git(const QString &program, const QString &folder, const QStringList &arguments, const std::stop_token &stop)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(folder);
    process.setStandardInputFile(QProcess::nullDevice());
    // Never a pager, a prompt for credentials or an editor.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GIT_TERMINAL_PROMPT"), QStringLiteral("0"));
    environment.insert(QStringLiteral("GIT_OPTIONAL_LOCKS"), QStringLiteral("0")); // status never writes the index
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    process.start();
    if (!process.waitForStarted(-1))
        return {false, {}, process.errorString()};
    std::stop_callback kill(stop, [&process] { process.kill(); });
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {false, {}, QString::fromLocal8Bit(process.readAllStandardError()).trimmed()};
    return {true, process.readAllStandardOutput(), {}};
}

} // namespace

GitChanges GitChanges::of(const QString &folder, std::stop_token stop)
{
    GitChanges changes;
    const QString program = QStandardPaths::findExecutable(QStringLiteral("git"));
    if (program.isEmpty()) {
        changes.reason = QStringLiteral("git is not installed");
        return changes;
    }
    // Where the folder lies in its work tree ("src/" or "").
    const GitRun prefix = git(program, folder, {QStringLiteral("rev-parse"), QStringLiteral("--show-prefix")}, stop);
    if (!prefix.ok) {
        changes.reason = prefix.error.contains(QLatin1String("not a git repository"))
            ? QStringLiteral("not in a git work tree")
            : QStringLiteral("git failed: %1").arg(prefix.error.section(u'\n', 0, 0));
        return changes;
    }
    const QString inside = QString::fromUtf8(prefix.output).trimmed();
    // Paths are relative to the work tree's root, each ended by NUL: "XY path".
    const GitRun status = git(program, folder,
                              {QStringLiteral("status"), QStringLiteral("--porcelain=v1"), QStringLiteral("-z"),
                               QStringLiteral("--untracked-files=all"), QStringLiteral("--no-renames"),
                               QStringLiteral("--"), QStringLiteral(".")},
                              stop);
    if (!status.ok) {
        changes.reason = QStringLiteral("git failed: %1").arg(status.error.section(u'\n', 0, 0));
        return changes;
    }
    for (const QByteArray &entry : status.output.split('\0')) {
        if (entry.size() < 4)
            continue;
        const char index = entry.at(0);
        const char worktree = entry.at(1);
        const QString path = QString::fromUtf8(entry.mid(3));
        const bool untracked = index == '?' && worktree == '?';
        const bool changed = index == 'M' || worktree == 'M' || index == 'A' || worktree == 'A' || index == 'T'
            || worktree == 'T';
        const bool gone = index == 'D' || worktree == 'D';
        if ((untracked || changed) && !gone && path.startsWith(inside))
            changes.files.insert(path.mid(inside.size()));
    }
    changes.available = true;
    return changes;
}
