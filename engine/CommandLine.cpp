#include "CommandLine.h"

QStringList buildArguments(const BundleOptions::Values &options, const QString &ignorePatterns,
                           const QString &outputPath)
{
    QStringList args{QStringLiteral("--output"), outputPath, QStringLiteral("--style"), options.style};
    if (!options.addSummary)
        args << QStringLiteral("--no-file-summary");
    if (!options.addFileStructure)
        args << QStringLiteral("--no-directory-structure");
    if (options.removeEmptyLines)
        args << QStringLiteral("--remove-empty-lines");
    if (options.removeComments)
        args << QStringLiteral("--remove-comments");
    if (options.showLineNumbers)
        args << QStringLiteral("--output-show-line-numbers");
    if (!options.securityCheck)
        args << QStringLiteral("--no-security-check");
    if (!ignorePatterns.isEmpty())
        args << QStringLiteral("--ignore") << ignorePatterns;
    args << QStringLiteral("--verbose");
    return args;
}
