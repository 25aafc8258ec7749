#pragma once

#include "platform/sqlitedb.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// The rows of a table or of a statement's result, with a current record, in the way the
// database procedures walk and write them:
//
//     Recordset rs = Recordset::table(db, "PRESET_DEFS");
//     rs.addNew(); rs.setValue("ID", 1); rs.update();
//
//     Recordset hits = Recordset::query(lookup, "PRESET_DEFS"); // lookup: SELECT rowid, ... WHERE ...
//     while (!hits.eof()) { hits.edit(); hits.setValue("var_name", n); hits.update(); hits.moveNext(); }
//
// The rows are the ones present when the recordset is opened (values as read then, later edits
// through this recordset included); rows added through it are not visited. Field names compare
// without regard to letter case. Values are QVariants: null for an absent value, otherwise what
// the engine stored (qint64, double, QString, QByteArray). Every failure throws DbError.
class Recordset {
public:
    // Every row of a table in stored order; records can be added and edited.
    static Recordset table(const Database& db, const QString& name);
    // The result rows of a prepared (and bound) statement. With an updatable table, the first
    // result column must be that table's rowid; it is not one of the fields, and the fields are
    // written back to the table by name. Without one the recordset is read-only.
    static Recordset query(Statement& statement, const QString& updatableTable = QString());
    // Rows already read, row by row (cells holds names.size() values per row); read-only.
    static Recordset rows(QStringList names, std::vector<QVariant> cells);

    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    ~Recordset();

    bool eof() const;
    // Number of rows: those read at opening plus those added since.
    int recordCount() const;
    // Throws DbError 3021 when there is no row.
    void moveFirst();
    // Throws DbError 3021 at the end.
    void moveNext();

    int fieldCount() const;
    QString fieldName(int position) const;
    // Position of a field, -1 when there is none.
    int fieldIndex(const QString& name) const;
    // Field of the current record; while adding or editing, of the record being written.
    // Throws 3265 for an unknown field, 3021 without a current record.
    const QVariant& value(int position) const;
    const QVariant& value(const QString& name) const;
    // Assigns a field of the record being written; throws 3020 unless adding or editing.
    void setValue(int position, const QVariant& value);
    void setValue(int position, QVariant&& value);
    void setValue(const QString& name, const QVariant& value);

    // Starts a new record with every field absent.
    void addNew();
    // Starts editing the current record.
    void edit();
    // Writes the record being added or edited: only its assigned fields. After a failed update
    // the record stays being written.
    void update();
    void cancelUpdate();
    bool isWriting() const { return m_mode != Mode::Browse; }
    // Releases the rows and statements; further calls throw DbError 3420.
    void close();

private:
    enum class Mode { Browse, Adding, Editing };
    Recordset() = default;
    void load(Statement& statement, bool hasRowid);
    void checkOpen() const;
    int checkedPosition(int position) const;
    int namedPosition(const QString& name) const;
    sqlite3_stmt* writeStatement(bool insert);
    sqlite3_stmt* writeStatementFor(bool insert);
    void beforeAssigning(int position);

    std::shared_ptr<detail::Connection> m_conn;
    bool m_open = false;
    QString m_table; // empty: read-only
    QStringList m_names;
    std::vector<qint64> m_rowids;
    std::vector<QVariant> m_cells; // row-major
    int m_rows = 0;
    int m_added = 0;
    int m_current = 0;
    Mode m_mode = Mode::Browse;
    std::vector<QVariant> m_buffer;
    std::vector<bool> m_assigned;
    std::vector<std::string> m_scratch; // UTF-8 of the text being written, per field
    // Write statements by the set of fields they write, prepared once per connection.
    std::map<std::vector<bool>, sqlite3_stmt*> m_inserts;
    std::map<std::vector<bool>, sqlite3_stmt*> m_updates;
    // The statement of the last write, and the fields it wrote.
    sqlite3_stmt* m_lastStatement = nullptr;
    std::vector<bool> m_lastAssigned;
    bool m_lastInsert = false;
};

} // namespace platform
