#include "platform/jet/jetreader_p.h"

// mdbtools.h opens an extern "C" block before it includes glib.h, whose C++ parts then fail to
// compile; including glib.h first avoids that.
#include <glib.h>
#include <mdbtools.h>
#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace platform::jet {

namespace {

// Every text value must fit a bind buffer; a full-length Memo (65535 characters) may take three
// UTF-8 bytes per character.
constexpr size_t kBindSize = 3 * 65535 + 1;

// Jet's date range: 100-01-01 to 9999-12-31.
constexpr double kFirstJetDay = -657434.0;
constexpr double kAfterLastJetDay = 2958466.0;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& why)
{
    throw Failure(why);
}

std::string quoted(const char* name)
{
    std::string out = "\"";
    for (const char* p = name; *p; ++p) {
        if (*p == '"')
            out += '"';
        out += *p;
    }
    return out + '"';
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian calendar).
void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
}

// ---- SQLite side -------------------------------------------------------------------------

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StmtFinalizer {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
using Stmt = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

void exec(sqlite3* db, const std::string& sql, const std::string& what)
{
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string reason = err ? err : sqlite3_errmsg(db);
        sqlite3_free(err);
        fail(what + ": " + reason);
    }
}

void check(sqlite3* db, int rc, const std::string& what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        fail(what + ": " + sqlite3_errmsg(db));
}

// ---- Jet side ----------------------------------------------------------------------------

struct HandleCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

// DAO's code for Decimal; mdbtools numbers it differently.
constexpr int kDaoDecimal = 20;

struct Column {
    MdbColumn* col = nullptr;
    std::string declaredType;
    std::vector<char> buffer;
    int length = 0;
};

std::string declaredType(const MdbHandle* mdb, const MdbColumn* col, const char* table)
{
    switch (col->col_type) {
    case MDB_BOOL: return "BIT";
    case MDB_BYTE: return "BYTE";
    case MDB_INT: return "SHORT";
    case MDB_LONGINT: return "LONG";
    case MDB_MONEY: return "CURRENCY";
    case MDB_FLOAT: return "SINGLE";
    case MDB_DOUBLE: return "DOUBLE";
    case MDB_DATETIME: return "DATETIME";
    case MDB_BINARY: return "BINARY(" + std::to_string(col->col_size) + ")";
    case MDB_TEXT: {
        // Jet 4 gives the size in UCS-2 bytes, Jet 3 in characters.
        const int chars = mdb->f->jet_version == MDB_VER_JET3 ? col->col_size : col->col_size / 2;
        return "TEXT(" + std::to_string(chars) + ")";
    }
    case MDB_OLE: return "LONGBINARY";
    case MDB_MEMO: return "LONGTEXT";
    case MDB_REPID: return "GUID";
    case MDB_NUMERIC:
        // The library's field names are swapped: col_scale holds the precision.
        return "DECIMAL(" + std::to_string(col->col_scale) + "," + std::to_string(col->col_prec) + ")";
    default:
        fail(std::string("column \"") + col->name + "\" of table \"" + table
             + "\" has a data type that cannot be converted (code " + std::to_string(col->col_type) + ")");
    }
}

// Bytes a value takes in the row at least: the fixed-size types' size, and the 12-byte header
// that a Memo or OLE value keeps in the row; 0 for the other variable-length types.
int minimumSize(int type)
{
    switch (type) {
    case MDB_MEMO: case MDB_OLE: return 12;
    case MDB_BYTE: return 1;
    case MDB_INT: return 2;
    case MDB_LONGINT: case MDB_FLOAT: return 4;
    case MDB_MONEY: case MDB_DOUBLE: case MDB_DATETIME: return 8;
    case MDB_REPID: return 16;
    case MDB_NUMERIC: return 17;
    default: return 0;
    }
}

double parseNumber(std::string text)
{
    for (char& c : text) {
        if (c == ',')
            c = '.';
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        fail("a number cannot be read (\"" + text + "\")");
    return value;
}

// Binds the Decimal text the library gives: a whole number when the column has no decimals and
// the value fits, otherwise the nearest double.
int bindDecimal(sqlite3_stmt* st, int index, const std::string& text, int scale)
{
    if (scale == 0) {
        const size_t dot = text.find_first_of(".,");
        const std::string whole = text.substr(0, dot);
        bool zeroFraction = dot == std::string::npos
                            || text.find_first_not_of('0', dot + 1) == std::string::npos;
        long long value = 0;
        const auto [end, ec] = std::from_chars(whole.data(), whole.data() + whole.size(), value);
        if (zeroFraction && ec == std::errc() && end == whole.data() + whole.size())
            return sqlite3_bind_int64(st, index, value);
    }
    return sqlite3_bind_double(st, index, parseNumber(text));
}

class TableCopier {
public:
    TableCopier(MdbHandle* mdb, sqlite3* db, MdbCatalogEntry* entry) : m_mdb(mdb), m_db(db), m_entry(entry) {}

    void run()
    {
        const std::string name = m_entry->object_name;
        m_table.reset(mdb_read_table(m_entry));
        if (!m_table || !mdb_read_columns(m_table.get()))
            fail("table \"" + name + "\" cannot be read");
        MdbTableDef* t = m_table.get();
        if (t->num_cols == 0)
            fail("table \"" + name + "\" has no columns");

        std::string create = "CREATE TABLE " + quoted(name.c_str()) + " (";
        std::string insert = "INSERT INTO " + quoted(name.c_str()) + " VALUES (";
        m_columns.resize(t->num_cols);
        for (unsigned i = 0; i < t->num_cols; ++i) {
            Column& c = m_columns[i];
            c.col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
            c.declaredType = declaredType(m_mdb, c.col, name.c_str());
            c.buffer.assign(kBindSize, '\0');
            mdb_bind_column(t, static_cast<int>(i) + 1, c.buffer.data(), &c.length);
            create += (i ? ", " : "") + quoted(c.col->name) + ' ' + c.declaredType;
            insert += i ? ", ?" : "?";
        }
        exec(m_db, create + ")", "table \"" + name + "\" cannot be created");

        sqlite3_stmt* raw = nullptr;
        check(m_db, sqlite3_prepare_v2(m_db, (insert + ")").c_str(), -1, &raw, nullptr),
              "table \"" + name + "\" cannot be filled");
        Stmt stmt(raw);

        std::vector<MdbField> fields(t->num_cols);
        unsigned long rows = 0;
        mdb_rewind_table(t);
        while (mdb_fetch_row(t)) {
            ++rows;
            // Empty text and NULL bind alike; the row's null mask tells them apart.
            int start = 0;
            size_t size = 0;
            if (mdb_find_row(m_mdb, static_cast<int>(t->cur_row) - 1, &start, &size) != 0
                || mdb_crack_row(t, start & 0x1fff, size, fields.data()) <= 0)
                fail("row " + std::to_string(rows) + " of table \"" + name + "\" cannot be read");
            for (unsigned i = 0; i < t->num_cols; ++i)
                bindValue(stmt.get(), static_cast<int>(i) + 1, m_columns[i], fields[i], name);
            check(m_db, sqlite3_step(stmt.get()), "a row cannot be written to table \"" + name + "\"");
            sqlite3_reset(stmt.get());
            sqlite3_clear_bindings(stmt.get());
        }
        // The header's count can be low in a file that was not closed cleanly, but never high:
        // fewer rows than it states means that pages could not be read.
        if (rows < t->num_rows)
            fail("table \"" + name + "\" gives only " + std::to_string(rows) + " of its "
                 + std::to_string(t->num_rows) + " rows; the file is damaged");
    }

private:
    void bindValue(sqlite3_stmt* st, int index, Column& c, const MdbField& field, const std::string& table)
    {
        const int type = c.col->col_type;
        const std::string where = "column \"" + std::string(c.col->name) + "\" of table \"" + table + "\"";
        int rc = SQLITE_OK;
        if (type == MDB_BOOL) {
            // A Yes/No value lives in the null mask and is never NULL.
            rc = sqlite3_bind_int(st, index, c.length > 0 && c.buffer[0] == '1' ? 1 : 0);
            check(m_db, rc, where);
            return;
        }
        if (field.is_null) {
            check(m_db, sqlite3_bind_null(st, index), where);
            return;
        }
        const int need = minimumSize(type);
        if (need > 0 && (field.siz < need || field.start < 0 || field.start + need > m_mdb->fmt->pg_size))
            fail("a value in " + where + " is damaged");
        unsigned char* page = m_mdb->pg_buf;
        const int at = field.start;

        switch (type) {
        case MDB_BYTE:
            rc = sqlite3_bind_int(st, index, mdb_get_byte(page, at));
            break;
        case MDB_INT:
            rc = sqlite3_bind_int(st, index, static_cast<int16_t>(mdb_get_int16(page, at)));
            break;
        case MDB_LONGINT:
            rc = sqlite3_bind_int(st, index, static_cast<int32_t>(mdb_get_int32(page, at)));
            break;
        case MDB_MONEY: {
            // A 64-bit count of ten-thousandths, little-endian.
            uint64_t bits = 0;
            for (int b = 7; b >= 0; --b)
                bits = (bits << 8) | page[at + b];
            const auto units = static_cast<int64_t>(bits);
            rc = units % 10000 == 0 ? sqlite3_bind_int64(st, index, units / 10000)
                                    : sqlite3_bind_double(st, index, static_cast<double>(units) / 10000.0);
            break;
        }
        case MDB_FLOAT: {
            // The shortest decimal that gives the float back, so 0.1f is stored as 0.1.
            const float value = mdb_get_single(page, at);
            char text[64];
            const auto res = std::to_chars(text, text + sizeof text, value);
            rc = sqlite3_bind_double(st, index, parseNumber(std::string(text, res.ptr)));
            break;
        }
        case MDB_DOUBLE:
            rc = sqlite3_bind_double(st, index, mdb_get_double(page, at));
            break;
        case MDB_DATETIME: {
            const double serial = mdb_get_double(page, at);
            if (const auto text = dateText(serial))
                rc = sqlite3_bind_text(st, index, text->c_str(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
            else // outside Jet's range: keep the number rather than lose it
                rc = sqlite3_bind_double(st, index, serial);
            break;
        }
        case MDB_BINARY:
            if (field.siz < 0 || at < 0 || at + field.siz > m_mdb->fmt->pg_size)
                fail("a value in " + where + " is damaged");
            rc = field.siz == 0 ? sqlite3_bind_zeroblob(st, index, 0)
                                : sqlite3_bind_blob(st, index, page + at, field.siz, SQLITE_TRANSIENT);
            break;
        case MDB_TEXT:
        case MDB_MEMO:
            if (static_cast<size_t>(c.length) >= kBindSize - 1)
                fail("a text in " + where + " is too long to be read");
            if (type == MDB_MEMO && c.length == 0 && (mdb_get_int32(page, at) & 0x3fffffff) > 2)
                fail("a text in " + where + " cannot be read; the file is damaged");
            rc = sqlite3_bind_text(st, index, c.buffer.data(), c.length, SQLITE_TRANSIENT);
            break;
        case MDB_OLE: {
            const long stored = mdb_get_int32(page, at) & 0x3fffffff;
            size_t size = 0;
            void* data = mdb_ole_read_full(m_mdb, c.col, &size);
            std::unique_ptr<void, decltype(&std::free)> owner(data, &std::free);
            if (static_cast<long>(size) != stored || (stored > 0 && !data))
                fail("an object in " + where + " cannot be read completely; the file is damaged");
            rc = size == 0 ? sqlite3_bind_zeroblob(st, index, 0)
                           : sqlite3_bind_blob64(st, index, data, size, SQLITE_TRANSIENT);
            break;
        }
        case MDB_REPID: {
            const std::string text(c.buffer.data(), static_cast<size_t>(c.length));
            if (text.size() != 36)
                fail("a value in " + where + " is damaged");
            const std::string guid = "{" + text + "}";
            rc = sqlite3_bind_text(st, index, guid.c_str(), static_cast<int>(guid.size()), SQLITE_TRANSIENT);
            break;
        }
        case MDB_NUMERIC:
            rc = bindDecimal(st, index, std::string(c.buffer.data(), static_cast<size_t>(c.length)), c.col->col_prec);
            break;
        default:
            fail(where + " has a data type that cannot be converted");
        }
        check(m_db, rc, where);
    }

    MdbHandle* m_mdb;
    sqlite3* m_db;
    MdbCatalogEntry* m_entry;
    std::unique_ptr<MdbTableDef, TableFreer> m_table;
    std::vector<Column> m_columns;
};

} // namespace

std::optional<std::string> dateText(double serial)
{
    if (!std::isfinite(serial) || serial < kFirstJetDay || serial >= kAfterLastJetDay)
        return std::nullopt;
    const double whole = std::trunc(serial);
    auto days = static_cast<int64_t>(whole);
    auto seconds = static_cast<int64_t>(std::llround(std::fabs(serial - whole) * 86400.0));
    if (seconds >= 86400) {
        // 23:59:59.5 and later round up to midnight of the following day.
        ++days;
        seconds -= 86400;
    }
    int64_t y = 0;
    unsigned m = 0;
    unsigned d = 0;
    civilFromDays(days - 25569, y, m, d); // 1899-12-30 is 25569 days before 1970-01-01
    const int secs = static_cast<int>(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(y), m, d, secs / 3600,
                  secs / 60 % 60, secs % 60);
    return std::string(text);
}

std::string copyJetToSqlite(const char* jetPath, const char* sqlitePath)
{
    try {
        // Text must come out as UTF-8 whatever the environment asks for, and debugging output
        // would read as a complaint.
        unsetenv("MDBICONV");
        unsetenv("MDBOPTS");
        std::unique_ptr<MdbHandle, HandleCloser> mdb(mdb_open(jetPath, MDB_NOFLAGS));
        if (!mdb)
            fail("it cannot be opened as a Jet database");
        if (mdb->f->jet_version != MDB_VER_JET3 && mdb->f->jet_version != MDB_VER_JET4)
            fail("it is not a Jet 3 or Jet 4 database");
        mdb_set_bind_size(mdb.get(), kBindSize);
        mdb_set_repid_fmt(mdb.get(), MDB_NOBRACES_4_2_2_2_6);
        if (!mdb_read_catalog(mdb.get(), MDB_TABLE))
            fail("its table list cannot be read; the file is damaged");
        // Reading a table by name would read the catalog again and free these entries, so the
        // tables are read through the entries of this one catalog.
        std::vector<MdbCatalogEntry*> tables;
        for (unsigned i = 0; i < mdb->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
                tables.push_back(entry);
        }

        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(sqlitePath, &raw, SQLITE_OPEN_READWRITE, nullptr);
        Db db(raw);
        if (rc != SQLITE_OK)
            fail(std::string("the new database cannot be opened: ") + (raw ? sqlite3_errmsg(raw) : "out of memory"));
        // The new file is thrown away on any failure, so it needs no journal; the caller syncs it.
        exec(db.get(), "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN", "the new database cannot be written");
        for (MdbCatalogEntry* entry : tables)
            TableCopier(mdb.get(), db.get(), entry).run();
        exec(db.get(), "COMMIT", "the new database cannot be written");
        if (sqlite3_close(db.release()) != SQLITE_OK)
            fail("the new database cannot be closed");
        return {};
    } catch (const Failure& f) {
        return f.what();
    } catch (const std::exception& e) {
        return std::string("unexpected failure: ") + e.what();
    }
}

} // namespace platform::jet
