#pragma once

#include "PrivateArea.h"
#include "RepomixWrapper.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// Runs the packer through `wrapper` with the default options on `directory`
// into `output`, as a job would.
inline Result<PackResult> packWith(RepomixWrapper &wrapper, const QString &output,
                                   const QString &directory = QStringLiteral("/x"), bool defaultRulesApplied = false)
{
    PackRequest request;
    request.output = output;
    request.directory = directory;
    request.defaultRulesApplied = defaultRulesApplied;
    return wrapper.pack(request);
}

// The real packer with its runtime, as built for this tree.
inline PackerLocation bundledPacker()
{
    return {QStringLiteral(LUMBREL_TEST_RUNTIME), QStringLiteral(LUMBREL_TEST_SCRIPT)};
}

// A path for packer output that nothing uses yet, in the session folder.
inline QString freshOutput()
{
    return PrivateArea::scratchFile(QStringLiteral(".txt")).value();
}

// The real packer's command line started directly on `directory`, as the
// runner starts it: runtime, script, job arguments, directory.
struct DirectRun
{
    int exitCode = -1;
    QString report;
    QString errors;
};
inline DirectRun runPackerDirectly(const QStringList &arguments, const QString &directory,
                                   const QProcessEnvironment &environment, const QString &workingDirectory)
{
    const PackerLocation packer = bundledPacker();
    QProcess process;
    process.setProgram(packer.runtime);
    process.setArguments(QStringList{packer.script} + arguments + QStringList{directory});
    process.setWorkingDirectory(workingDirectory);
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    process.waitForFinished(-1);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

// A stand-in for the packer: a shell script run by /bin/sh in place of the
// Node.js runtime. The script sees the job arguments and the staging
// directory exactly as the real packer would; $out holds the "--output" path.
// Scripts live in bin/ of a folder laid out like the packer's own, which
// gets the real packer's default ignore list with `provideDefaultRules`.
class FakePacker
{
public:
    FakePacker() { QDir(m_dir.path()).mkpath(QStringLiteral("bin")); }

    PackerLocation location(const QByteArray &body)
    {
        const QString script = m_dir.filePath(QStringLiteral("bin/fake-%1.sh").arg(++m_count));
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the fake packer");
        file.write("out=''; prev=''\n"
                   "for a in \"$@\"; do [ \"$prev\" = --output ] && out=\"$a\"; prev=\"$a\"; done\n");
        file.write(body);
        file.write("\n");
        return {QStringLiteral("/bin/sh"), script};
    }

    // A packer that writes its output and prints the given totals.
    PackerLocation succeeding(qint64 files, qint64 chars, qint64 tokens, const QByteArray &extra = {})
    {
        return location(extra + "\necho packed > \"$out\"\n"
                        + QByteArray("printf '  Total Files: %s files\\n Total Tokens: %s tokens\\n  Total Chars: %s chars\\n' ")
                        + QByteArray::number(files) + ' ' + QByteArray::number(tokens) + ' ' + QByteArray::number(chars));
    }

    // Wrappers made after this apply the real packer's default rules.
    void provideDefaultRules()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("lib/config"));
        QFile::copy(QStringLiteral(LUMBREL_TEST_RESOURCES "/repomix/lib/config/defaultIgnore.js"),
                    m_dir.filePath(QStringLiteral("lib/config/defaultIgnore.js")));
    }

    // Wrappers made after this know the real packer's binary file types.
    void provideBinaryExtensions()
    {
        const QString folder = m_dir.filePath(QStringLiteral("node_modules/binary-extensions"));
        QDir(m_dir.path()).mkpath(folder);
        QFile::copy(QStringLiteral(LUMBREL_TEST_RESOURCES "/node_modules/binary-extensions/binary-extensions.json"),
                    folder + QStringLiteral("/binary-extensions.json"));
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    int m_count = 0;
};
