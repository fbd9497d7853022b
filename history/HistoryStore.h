#pragma once
// One database of meter records: an SQLite file or a PostgreSQL database,
// through Qt SQL. Records are only ever added, each in a transaction of its
// own; a record is stored whole or not at all.
#include "history/HistoryRecord.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace vorda {

// Where the history is kept: a file path (SQLite) or a postgresql:// URL.
struct HistoryLocation {
    enum class Kind { Sqlite, Postgres };
    Kind kind = Kind::Sqlite;
    QString path;   // SQLite file
    QUrl url;       // PostgreSQL
    // The location as messages show it: the URL without its password.
    QString Shown() const;
    // A file path or a postgresql:// (or postgres://) URL; false with
    // *error for a URL of another scheme or one without a host or database.
    static bool Parse(const QString& text, HistoryLocation* location, QString* error);
};

// The schema version this program writes.
inline constexpr int kHistorySchemaVersion = 1;

// A meter and the count of its records.
struct HistoryMeter {
    QString meter;
    qint64 records = 0;
    QDateTime last;
};

class HistoryStore {
public:
    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens the database, creating the file and the schema on first use.
    // False with *error (one line, no password) when it cannot be used.
    bool Open(const HistoryLocation& location, QString* error);
    bool IsOpen() const;
    void Close();
    const HistoryLocation& Location() const { return location_; }

    // Adds a record; one already stored under its uid is left as it is
    // (true). *id gets the record's number in this store.
    bool Append(const HistoryRecord& record, QString* error, qint64* id = nullptr);
    // Adds records all in one transaction: all of them or none.
    bool AppendAll(const QList<HistoryRecord>& records, QString* error, QVector<qint64>* ids = nullptr);
    // The records of one meter (all meters when it is empty), newest first,
    // without their values; at most limit (all when 0).
    std::optional<QList<HistoryRecord>> List(const QString& meter, int limit, QString* error);
    // One record with its values; an empty optional with *error empty when
    // there is no such record.
    std::optional<HistoryRecord> Get(qint64 id, QString* error);
    // The records of one connection, oldest first, with their values.
    std::optional<QList<HistoryRecord>> OfConnection(const QString& connection, QString* error);
    // Every meter the store knows, the one with the newest record first.
    std::optional<QList<HistoryMeter>> Meters(QString* error);
    // The oldest records with their values, for sending on; and removing
    // one that was sent (the local queue of a shared store only).
    std::optional<QList<HistoryRecord>> Oldest(int limit, QString* error);
    bool Remove(qint64 id, QString* error);

private:
    bool CreateSchema(QString* error);
    QString Failure(const QString& what) const;

    HistoryLocation location_;
    QString connectionName_;
};

} // namespace vorda
