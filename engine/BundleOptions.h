#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QSettings;

// The seven persisted output options. Every read goes to the preference
// store, so all holders of the object see the same values; a stored value
// that is not one of the option's values reads as its default. Every write
// stores the one key and announces it.
class BundleOptions : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString style READ style WRITE setStyle NOTIFY styleChanged)
    Q_PROPERTY(bool addSummary READ addSummary WRITE setAddSummary NOTIFY addSummaryChanged)
    Q_PROPERTY(bool addFileStructure READ addFileStructure WRITE setAddFileStructure NOTIFY addFileStructureChanged)
    Q_PROPERTY(bool removeEmptyLines READ removeEmptyLines WRITE setRemoveEmptyLines NOTIFY removeEmptyLinesChanged)
    Q_PROPERTY(bool removeComments READ removeComments WRITE setRemoveComments NOTIFY removeCommentsChanged)
    Q_PROPERTY(bool showLineNumbers READ showLineNumbers WRITE setShowLineNumbers NOTIFY showLineNumbersChanged)
    Q_PROPERTY(bool securityCheck READ securityCheck WRITE setSecurityCheck NOTIFY securityCheckChanged)

public:
    // A snapshot of the seven options, taken when a run builds its command line.
    struct Values
    {
        QString style = QStringLiteral("plain");
        bool addSummary = true;
        bool addFileStructure = true;
        bool removeEmptyLines = false;
        bool removeComments = true;
        bool showLineNumbers = false;
        bool securityCheck = true;

        bool operator==(const Values &) const = default;
    };

    // Uses the per-user store of the application (QSettings in native format)
    // unless a store is given; a given store stays owned by the caller.
    explicit BundleOptions(QSettings *store = nullptr, QObject *parent = nullptr);
    ~BundleOptions() override;

    QString style() const;
    bool addSummary() const;
    bool addFileStructure() const;
    bool removeEmptyLines() const;
    bool removeComments() const;
    bool showLineNumbers() const;
    bool securityCheck() const;

    void setStyle(const QString &style);
    void setAddSummary(bool on);
    void setAddFileStructure(bool on);
    void setRemoveEmptyLines(bool on);
    void setRemoveComments(bool on);
    void setShowLineNumbers(bool on);
    void setSecurityCheck(bool on);

    Values values() const;

    // Writes all seven keys with their defaults, so that every key is present afterwards.
    Q_INVOKABLE void resetToDefaults();

    // "xml" for "xml", "md" for "markdown", "txt" for anything else (exact, case-sensitive).
    Q_INVOKABLE static QString outputExtension(const QString &style);

signals:
    void styleChanged();
    void addSummaryChanged();
    void addFileStructureChanged();
    void removeEmptyLinesChanged();
    void removeCommentsChanged();
    void showLineNumbersChanged();
    void securityCheckChanged();
    // The preference store cannot be written; said once per object.
    void storeFailed(const QString &message);

private:
    bool readFlag(const char *key, bool fallback) const;
    void writeFlag(const char *key, bool on, void (BundleOptions::*changed)());
    void write(const char *key, const QVariant &value);

    std::unique_ptr<QSettings> m_ownStore;
    QSettings *m_store;
    bool m_storeFailed = false;
};
