#pragma once

// A connection of its own on a database file, as another program (or an older build that
// knows nothing of what the library keeps) would have.

#include <QByteArray>
#include <QString>

#include <sqlite3.h>

#include <gtest/gtest.h>

class RawSqlite {
public:
    explicit RawSqlite(const QString& file) {
        sqlite3_open(file.toUtf8().constData(), &m_db);
        sqlite3_busy_timeout(m_db, 5000);
    }
    ~RawSqlite() { sqlite3_close(m_db); }
    RawSqlite(const RawSqlite&) = delete;
    RawSqlite& operator=(const RawSqlite&) = delete;

    // Runs `sql`; a failure fails the test, naming the statement.
    bool exec(const QByteArray& sql) {
        char* error = nullptr;
        const bool ok = sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, &error) == SQLITE_OK;
        if (!ok) ADD_FAILURE() << error << " in " << sql.constData();
        sqlite3_free(error);
        return ok;
    }
    // The first column of `sql`'s rows.
    QList<qint64> numbers(const char* sql) {
        QList<qint64> out;
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            out << sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        return out;
    }

protected:
    sqlite3* m_db = nullptr;
};
