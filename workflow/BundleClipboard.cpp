#include "BundleClipboard.h"

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QStringDecoder>
#include <QThreadPool>

namespace {
QString tooLargeMessage()
{
    return QStringLiteral("Too large to copy");
}
} // namespace

BundleClipboard::BundleClipboard(std::function<void(const QString &)> setText, qint64 limit, QObject *parent)
    : QObject(parent)
    , m_setText(setText ? std::move(setText) : [](const QString &text) { QGuiApplication::clipboard()->setText(text); })
    , m_limit(limit)
{
}

BundleClipboard::~BundleClipboard() = default;

void BundleClipboard::setFile(const QUrl &file, int parts)
{
    m_file = file;
    m_parts = qMax(1, parts);
    ++m_generation;
    const QFileInfo info(file.toLocalFile());
    if (file.isEmpty() || info.size() <= m_limit)
        setState(State::Ready);
    else
        setState(State::TooLarge, tooLargeMessage());
}

void BundleClipboard::copy()
{
    if (m_file.isEmpty() || m_state == State::Copying || m_state == State::TooLarge)
        return;
    setState(State::Copying);
    const QString path = m_file.toLocalFile();
    const qint64 limit = m_limit;
    const int generation = m_generation;
    QPointer<BundleClipboard> self(this);
    QThreadPool::globalInstance()->start([self, path, limit, generation] {
        QFile file(path);
        State outcome = State::Copied;
        QString text;
        if (!file.open(QIODevice::ReadOnly)) {
            outcome = State::Failed;
        } else if (file.size() > limit) {
            outcome = State::TooLarge;
        } else {
            QStringDecoder decode(QStringDecoder::Utf8);
            text = decode(file.readAll());
            if (file.error() != QFileDevice::NoError)
                outcome = State::Failed;
        }
        const QString error = outcome == State::Failed ? file.errorString() : QString();
        QMetaObject::invokeMethod(
            self.data(), [self, generation, outcome, text, error] {
                if (!self || generation != self->m_generation)
                    return;
                if (outcome == State::Copied)
                    self->m_setText(text);
                self->setState(outcome, outcome == State::TooLarge ? tooLargeMessage()
                                   : outcome == State::Failed      ? QStringLiteral("Cannot copy: %1").arg(error)
                                                                   : QString());
            },
            Qt::QueuedConnection);
    });
}

QString BundleClipboard::label() const
{
    const QString part = m_parts > 1 ? tr(" Part 1 of %1").arg(m_parts) : QString();
    switch (m_state) {
    case State::Ready:
        return tr("Copy") + part;
    case State::Copying:
        return tr("Copying\u2026");
    case State::Copied:
        return tr("Copied") + part + QStringLiteral(" \u2713");
    case State::TooLarge:
    case State::Failed:
        return m_message;
    }
    return {};
}

void BundleClipboard::setState(State state, const QString &message)
{
    if (m_state == state && m_message == message)
        return;
    m_state = state;
    m_message = message;
    emit stateChanged();
}
