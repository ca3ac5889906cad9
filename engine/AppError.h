#pragma once

#include <QString>

#include <utility>
#include <variant>

// The error value that failing operations hand to their callers. Errors the
// runner raises itself carry the domain "RepomixWrapper"; failures of the
// operating system keep its own domain, code and message.
struct AppError
{
    QString domain;
    int code = 0;
    QString description;

    static inline const QString wrapperDomain = QStringLiteral("RepomixWrapper");

    static AppError wrapper(int code, const QString &description)
    {
        return {wrapperDomain, code, description};
    }

    // The default textual form, used in log lines.
    QString toString() const
    {
        return QStringLiteral("%1 (%2 %3)").arg(description, domain).arg(code);
    }
};

// A value or the error that prevented it.
template <typename T>
class Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(AppError error) : m_value(std::move(error)) {}

    bool ok() const { return m_value.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T &value() const { return std::get<0>(m_value); }
    T &value() { return std::get<0>(m_value); }
    const AppError &error() const { return std::get<1>(m_value); }

private:
    std::variant<T, AppError> m_value;
};
