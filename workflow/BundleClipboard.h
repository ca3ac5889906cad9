#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

// Puts the text of a finished bundle on the clipboard, read away from the
// window's thread so that a large bundle never freezes it. Bundles above a
// size limit are refused up front: pasting them would not work anyway.
class BundleClipboard : public QObject
{
    Q_OBJECT
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString message READ message NOTIFY stateChanged)
    // How many files the bundle has: above 1, it was split and only its first part is copied.
    Q_PROPERTY(int parts READ parts NOTIFY stateChanged)
    // The copy button's text: "Copy", "Copy Part 1 of 3", "Copying…", "Copied ✓", or why it cannot copy.
    Q_PROPERTY(QString label READ label NOTIFY stateChanged)

public:
    enum class State {
        Ready,    // can be copied
        Copying,  // being read
        Copied,   // on the clipboard
        TooLarge, // above the limit
        Failed,   // could not be read; see message
    };
    Q_ENUM(State)

    static constexpr qint64 defaultLimit = 50 * 1024 * 1024;

    // `setText` puts text on the clipboard (the application's by default).
    explicit BundleClipboard(std::function<void(const QString &)> setText = {}, qint64 limit = defaultLimit,
                             QObject *parent = nullptr);
    ~BundleClipboard() override;

    State state() const { return m_state; }
    QString message() const { return m_message; }
    int parts() const { return m_parts; }
    QString label() const;

    // The bundle the next copy takes (the first of `parts` files); resets the state.
    void setFile(const QUrl &file, int parts = 1);
    Q_INVOKABLE void copy();

signals:
    void stateChanged();

private:
    void setState(State state, const QString &message = {});

    std::function<void(const QString &)> m_setText;
    qint64 m_limit;
    QUrl m_file;
    int m_parts = 1;
    State m_state = State::Ready;
    QString m_message;
    int m_generation = 0; // a read that finishes after the file changed is dropped
};
