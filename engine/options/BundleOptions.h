#pragma once

#include "OptionValues.h"

#include <QAbstractListModel>
#include <QHash>
#include <QString>

#include <memory>
#include <vector>

class QSettings;

// The persisted output options (OptionTable), as the settings view lists
// them: one row per option, grouped by section. Every read goes to the
// preference store, so all holders of the object see the same values; a
// stored value that is not one of the option's values reads as its
// default. Every write stores the one key and announces it.
class BundleOptions : public QAbstractListModel
{
    Q_OBJECT
    // Why the preference store cannot be used or written; empty when it can.
    Q_PROPERTY(QString storeProblem READ storeProblem NOTIFY storeFailed)

public:
    enum Role {
        KeyRole = Qt::UserRole + 1,
        KindRole,           // "switch", "choice", "text" or "lines"
        LabelRole,
        ToolTipRole,
        SectionRole,        // the section's title
        FirstInSectionRole, // the view shows the section's title above this row
        ValueRole,          // the value as text; a switch's as a bool
        ChoicesRole,        // a choice's values: [{value, label}], the current one always among them
        ChoiceIndexRole,    // the current value's place among the choices
    };

    // Uses the per-user store of the application (QSettings in native format)
    // unless a store is given; a given store stays owned by the caller. An
    // own store that cannot be read safely (not a regular file) is not
    // touched: the defaults apply, changes last until the application quits,
    // and storeProblem says why.
    explicit BundleOptions(QSettings *store = nullptr, QObject *parent = nullptr);
    ~BundleOptions() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The value stored under `key`, or the option's default; empty for an unknown key.
    Q_INVOKABLE QString value(const QString &key) const;
    // Stores a value the option can take; false for an unknown key or another value.
    Q_INVOKABLE bool setValue(const QString &key, const QString &value);
    bool setOn(const QString &key, bool on) { return setValue(key, on ? QStringLiteral("true") : QStringLiteral("false")); }
    // Writes every key with its default, so that every key is present afterwards.
    Q_INVOKABLE void resetToDefaults();

    // A snapshot of every option, taken when a run starts.
    OptionValues values() const;

    QString storeProblem() const { return m_storeProblem; }

signals:
    // The option stored under `key` changed.
    void valueChanged(const QString &key);
    // The preference store cannot be used or written; said once per object.
    void storeFailed(const QString &message);

private:
    QString read(const OptionSpec &option) const;
    void reportStoreProblem(const QString &message);

    std::unique_ptr<QSettings> m_ownStore;
    QSettings *m_store = nullptr;
    QHash<QString, QString> m_unstored; // the values while no store can be used
    std::vector<const OptionSpec *> m_rows; // the view's order: by section, then as in the table
    QString m_storeProblem;
};
