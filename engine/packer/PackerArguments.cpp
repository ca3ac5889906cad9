#include "PackerArguments.h"

QStringList jobArguments(const PackRequest &request)
{
    QStringList args{QStringLiteral("--output"), request.output};
    for (const OptionSpec &option : OptionTable::all()) {
        const QString value = request.options.text(QLatin1StringView(option.key));
        const QString argument = QString::fromLatin1(option.argument ? option.argument : "");
        switch (option.packer) {
        case OptionSpec::Packer::Switch: {
            const char *given = value == QLatin1String("true") ? option.argument : option.argumentOff;
            if (given)
                args << QString::fromLatin1(given);
            break;
        }
        case OptionSpec::Packer::Value:
            args << argument << value;
            break;
        case OptionSpec::Packer::ValueIfSet:
            if (!value.isEmpty())
                args << argument << value;
            break;
        case OptionSpec::Packer::ValueUnlessDefault:
            if (value != QString::fromUtf8(option.defaultValue))
                args << argument << value;
            break;
        case OptionSpec::Packer::File:
            if (const QString file = request.optionFiles.value(option.keyText()); !value.isEmpty() && !file.isEmpty())
                args << argument << file;
            break;
        case OptionSpec::Packer::None:
            break;
        }
    }
    if (!request.patternsApplied) {
        if (!request.ignorePatterns.isEmpty())
            args << QStringLiteral("--ignore") << request.ignorePatterns;
        if (!request.includePatterns.isEmpty())
            args << QStringLiteral("--include") << request.includePatterns;
    }
    args << QStringLiteral("--verbose");
    if (request.defaultRulesApplied)
        args << QStringLiteral("--no-default-patterns");
    return args;
}

QStringList packerArguments(const PackRequest &request)
{
    return jobArguments(request) << (request.files.isEmpty() ? request.directory : QStringLiteral("--stdin"));
}
