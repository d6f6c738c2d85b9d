#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <string>
#include <vector>

// Runs statements on an SQLite file (created when missing) through a
// connection of its own, as another program would; answers the first
// error's text, empty when all ran.
inline std::string runOnSqliteFile(const std::string& path, const std::vector<std::string>& statements)
{
    const QString name = QStringLiteral("test statements");
    std::string error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QString::fromStdString(path));
        if (!db.open())
            error = db.lastError().text().toStdString();
        for (const std::string& statement : statements) {
            QSqlQuery query(db);
            if (error.empty() && !query.exec(QString::fromStdString(statement)))
                error = statement + ": " + query.lastError().text().toStdString();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}
