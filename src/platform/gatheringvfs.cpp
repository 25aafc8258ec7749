#include "platform/gatheringvfs_p.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

// SQLite writes a rollback-journal record as three small writes and every page of a commit as
// one, and reads a table page by page: each a system call. On a slow system-call path (virtual
// machines) those calls cost more than the database work. This VFS sits over the default one and
//  - gathers consecutive writes to a database or its journal into one buffer, written out before
//    any other operation on the file (a sync, a read, a size query, a lock change, a close), so
//    the file sees the same bytes in the same order, and every sync finds them written;
//  - reads a database file ahead in larger blocks while it is read front to back, the block
//    dropped on every write and every lock change (another process can change the file only
//    while this one holds no lock).

namespace platform {

namespace {

constexpr size_t kGatherBytes = size_t(1) << 20;
// The system's VFS reads and writes at most 128 KiB less one byte per call.
constexpr size_t kCallBytes = size_t(64) << 10;
constexpr size_t kAheadBytes = kCallBytes;

sqlite3_vfs* g_base = nullptr;
sqlite3_vfs g_vfs;

struct File {
    sqlite3_file base;
    sqlite3_file* real;
    bool gather;
    bool journal;
    // A database's journal, a journal's database (while both are open).
    File* partner;
    // The name SQLite opened the file by (its own pointer, which a journal's name leads back to).
    const char* name;
    bool readAhead;
    // Gathered writes: len bytes meant for offset start.
    char* buf;
    sqlite3_int64 start;
    size_t len;
    // Bytes read ahead: aheadLen bytes from aheadStart.
    char* ahead;
    sqlite3_int64 aheadStart;
    size_t aheadLen;
    // End of the last read, to tell a front-to-back read.
    sqlite3_int64 lastReadEnd;
};

File* self(sqlite3_file* f)
{
    return reinterpret_cast<File*>(f);
}

const sqlite3_io_methods* real(File* f)
{
    return f->real->pMethods;
}

// A database page may only reach its file after the journal records written before it: SQLite
// syncs the journal first, but not with synchronous=OFF. So each database knows its journal (the
// one its connection opens, found by SQLite's own name pointer) and writes it out first. A
// database and its journal are used by one connection, so one thread, at a time; the lock guards
// only the linking of files that different connections open.
std::mutex g_openLock;
std::vector<File*> g_databases;

int flush(File* f);

// Writes straight to the file, journals first for a database.
int writeOut(File* f, const void* data, int amount, sqlite3_int64 offset)
{
    if (f->partner && !f->journal) {
        if (const int rc = flush(f->partner); rc != SQLITE_OK)
            return rc;
    }
    return real(f)->xWrite(f->real, data, amount, offset);
}

int flush(File* f)
{
    if (f->len == 0)
        return SQLITE_OK;
    const size_t len = f->len;
    f->len = 0;
    for (size_t done = 0; done < len; done += kCallBytes) {
        const size_t n = std::min(kCallBytes, len - done);
        if (const int rc = writeOut(f, f->buf + done, int(n), f->start + sqlite3_int64(done)); rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

void dropAhead(File* f)
{
    f->aheadLen = 0;
}

int xClose(sqlite3_file* file)
{
    File* f = self(file);
    const int flushed = flush(f);
    {
        std::lock_guard<std::mutex> lock(g_openLock);
        if (f->partner)
            f->partner->partner = nullptr;
        f->partner = nullptr;
        g_databases.erase(std::remove(g_databases.begin(), g_databases.end(), f), g_databases.end());
    }
    const int rc = real(f)->xClose(f->real);
    std::free(f->buf);
    std::free(f->ahead);
    f->buf = nullptr;
    f->ahead = nullptr;
    return flushed != SQLITE_OK ? flushed : rc;
}

int readAhead(File* f, void* out, int amount, sqlite3_int64 offset)
{
    if (!f->ahead) {
        f->ahead = static_cast<char*>(std::malloc(kAheadBytes));
        if (!f->ahead)
            return real(f)->xRead(f->real, out, amount, offset);
    }
    sqlite3_int64 size = 0;
    int rc = real(f)->xFileSize(f->real, &size);
    if (rc != SQLITE_OK || offset + amount > size)
        return real(f)->xRead(f->real, out, amount, offset);
    const size_t block = size_t(std::min<sqlite3_int64>(sqlite3_int64(kAheadBytes), size - offset));
    rc = real(f)->xRead(f->real, f->ahead, int(block), offset);
    if (rc != SQLITE_OK) {
        dropAhead(f);
        return real(f)->xRead(f->real, out, amount, offset);
    }
    f->aheadStart = offset;
    f->aheadLen = block;
    std::memcpy(out, f->ahead, size_t(amount));
    return SQLITE_OK;
}

int xRead(sqlite3_file* file, void* out, int amount, sqlite3_int64 offset)
{
    File* f = self(file);
    if (const int rc = flush(f); rc != SQLITE_OK)
        return rc;
    const sqlite3_int64 end = offset + amount;
    if (f->aheadLen > 0 && offset >= f->aheadStart && end <= f->aheadStart + sqlite3_int64(f->aheadLen)) {
        std::memcpy(out, f->ahead + (offset - f->aheadStart), size_t(amount));
        f->lastReadEnd = end;
        return SQLITE_OK;
    }
    const bool sequential = f->readAhead && offset == f->lastReadEnd && size_t(amount) * 4 <= kAheadBytes;
    f->lastReadEnd = end;
    return sequential ? readAhead(f, out, amount, offset) : real(f)->xRead(f->real, out, amount, offset);
}

int xWrite(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset)
{
    File* f = self(file);
    dropAhead(f);
    if (!f->gather)
        return real(f)->xWrite(f->real, data, amount, offset);
    const size_t n = size_t(amount);
    if (f->len > 0 && (offset != f->start + sqlite3_int64(f->len) || f->len + n > kGatherBytes)) {
        if (const int rc = flush(f); rc != SQLITE_OK)
            return rc;
    }
    if (n > kCallBytes)
        return writeOut(f, data, amount, offset);
    if (!f->buf) {
        f->buf = static_cast<char*>(std::malloc(kGatherBytes));
        if (!f->buf)
            return writeOut(f, data, amount, offset);
    }
    if (f->len == 0)
        f->start = offset;
    std::memcpy(f->buf + f->len, data, n);
    f->len += n;
    return SQLITE_OK;
}

int xTruncate(sqlite3_file* file, sqlite3_int64 size)
{
    File* f = self(file);
    dropAhead(f);
    if (const int rc = flush(f); rc != SQLITE_OK)
        return rc;
    return real(f)->xTruncate(f->real, size);
}

int xSync(sqlite3_file* file, int flags)
{
    File* f = self(file);
    if (const int rc = flush(f); rc != SQLITE_OK)
        return rc;
    return real(f)->xSync(f->real, flags);
}

int xFileSize(sqlite3_file* file, sqlite3_int64* size)
{
    File* f = self(file);
    if (const int rc = flush(f); rc != SQLITE_OK)
        return rc;
    return real(f)->xFileSize(f->real, size);
}

int xLock(sqlite3_file* file, int level)
{
    File* f = self(file);
    dropAhead(f);
    if (const int rc = flush(f); rc != SQLITE_OK)
        return rc;
    return real(f)->xLock(f->real, level);
}

int xUnlock(sqlite3_file* file, int level)
{
    File* f = self(file);
    dropAhead(f);
    if (const int rc = flush(f); rc != SQLITE_OK)
        return rc;
    return real(f)->xUnlock(f->real, level);
}

int xCheckReservedLock(sqlite3_file* file, int* out)
{
    return real(self(file))->xCheckReservedLock(self(file)->real, out);
}

int xFileControl(sqlite3_file* file, int op, void* arg)
{
    File* f = self(file);
    if (const int rc = flush(f); rc != SQLITE_OK)
        return rc;
    return real(f)->xFileControl(f->real, op, arg);
}

int xSectorSize(sqlite3_file* file)
{
    return real(self(file))->xSectorSize(self(file)->real);
}

int xDeviceCharacteristics(sqlite3_file* file)
{
    return real(self(file))->xDeviceCharacteristics(self(file)->real);
}

int xShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** out)
{
    File* f = self(file);
    if (const int rc = flush(f); rc != SQLITE_OK)
        return rc;
    return real(f)->xShmMap(f->real, region, size, extend, out);
}

int xShmLock(sqlite3_file* file, int offset, int n, int flags)
{
    File* f = self(file);
    if (const int rc = flush(f); rc != SQLITE_OK)
        return rc;
    return real(f)->xShmLock(f->real, offset, n, flags);
}

void xShmBarrier(sqlite3_file* file)
{
    File* f = self(file);
    flush(f);
    real(f)->xShmBarrier(f->real);
}

int xShmUnmap(sqlite3_file* file, int deleteFlag)
{
    File* f = self(file);
    if (const int rc = flush(f); rc != SQLITE_OK)
        return rc;
    return real(f)->xShmUnmap(f->real, deleteFlag);
}

int xFetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** out)
{
    File* f = self(file);
    *out = nullptr;
    if (const int rc = flush(f); rc != SQLITE_OK)
        return rc;
    return real(f)->iVersion >= 3 ? real(f)->xFetch(f->real, offset, amount, out) : SQLITE_OK;
}

int xUnfetch(sqlite3_file* file, sqlite3_int64 offset, void* page)
{
    File* f = self(file);
    return real(f)->iVersion >= 3 ? real(f)->xUnfetch(f->real, offset, page) : SQLITE_OK;
}

const sqlite3_io_methods kMethods = {
    3,           xClose,      xRead,       xWrite,   xTruncate,  xSync,
    xFileSize,   xLock,       xUnlock,     xCheckReservedLock,     xFileControl,
    xSectorSize, xDeviceCharacteristics,   xShmMap,  xShmLock,   xShmBarrier,
    xShmUnmap,   xFetch,      xUnfetch,
};

// The same without the shared-memory and memory-map entries, for files whose real methods lack
// them.
const sqlite3_io_methods kMethodsV1 = {
    1,           xClose,      xRead,       xWrite,   xTruncate,  xSync,
    xFileSize,   xLock,       xUnlock,     xCheckReservedLock,     xFileControl,
    xSectorSize, xDeviceCharacteristics,   nullptr,  nullptr,    nullptr,
    nullptr,     nullptr,     nullptr,
};

constexpr size_t kRealOffset = (sizeof(File) + 15) / 16 * 16;

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    File* f = self(file);
    std::memset(f, 0, sizeof(File));
    f->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + kRealOffset);
    // Only the database and its rollback journal: the write-ahead log and its shared memory have
    // an order of their own between processes.
    f->gather = (flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL)) != 0;
    f->journal = (flags & SQLITE_OPEN_MAIN_JOURNAL) != 0;
    f->readAhead = (flags & SQLITE_OPEN_MAIN_DB) != 0;
    f->lastReadEnd = -1;
    const int rc = g_base->xOpen(g_base, name, f->real, flags, outFlags);
    if (!f->real->pMethods) {
        f->base.pMethods = nullptr;
        return rc;
    }
    if (rc == SQLITE_OK && name && (flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL))) {
        std::lock_guard<std::mutex> lock(g_openLock);
        if (flags & SQLITE_OPEN_MAIN_DB) {
            f->name = name;
            g_databases.push_back(f);
        } else {
            const char* database = sqlite3_filename_database(name);
            for (File* db : g_databases) {
                if (db->name == database) {
                    if (db->partner)
                        db->partner->partner = nullptr;
                    db->partner = f;
                    f->partner = db;
                    break;
                }
            }
        }
    }
    f->base.pMethods = f->real->pMethods->iVersion >= 3 ? &kMethods : &kMethodsV1;
    return rc;
}

int xDelete(sqlite3_vfs*, const char* name, int syncDir)
{
    return g_base->xDelete(g_base, name, syncDir);
}

int xAccess(sqlite3_vfs*, const char* name, int flags, int* out)
{
    return g_base->xAccess(g_base, name, flags, out);
}

int xFullPathname(sqlite3_vfs*, const char* name, int n, char* out)
{
    return g_base->xFullPathname(g_base, name, n, out);
}

void* xDlOpen(sqlite3_vfs*, const char* name)
{
    return g_base->xDlOpen(g_base, name);
}

void xDlError(sqlite3_vfs*, int n, char* out)
{
    g_base->xDlError(g_base, n, out);
}

void (*xDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void)
{
    return g_base->xDlSym(g_base, handle, symbol);
}

void xDlClose(sqlite3_vfs*, void* handle)
{
    g_base->xDlClose(g_base, handle);
}

int xRandomness(sqlite3_vfs*, int n, char* out)
{
    return g_base->xRandomness(g_base, n, out);
}

int xSleep(sqlite3_vfs*, int microseconds)
{
    return g_base->xSleep(g_base, microseconds);
}

int xCurrentTime(sqlite3_vfs*, double* out)
{
    return g_base->xCurrentTime(g_base, out);
}

int xGetLastError(sqlite3_vfs*, int n, char* out)
{
    return g_base->xGetLastError ? g_base->xGetLastError(g_base, n, out) : 0;
}

int xCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out)
{
    if (g_base->iVersion >= 2 && g_base->xCurrentTimeInt64)
        return g_base->xCurrentTimeInt64(g_base, out);
    double days = 0;
    const int rc = g_base->xCurrentTime(g_base, &days);
    *out = sqlite3_int64(days * 86400000.0);
    return rc;
}

} // namespace

const char* gatheringVfsName()
{
    static const char* const name = [] () -> const char* {
        if (sqlite3_initialize() != SQLITE_OK)
            return nullptr;
        g_base = sqlite3_vfs_find(nullptr);
        if (!g_base)
            return nullptr;
        std::memset(&g_vfs, 0, sizeof g_vfs);
        g_vfs.iVersion = 2;
        g_vfs.szOsFile = int(kRealOffset) + g_base->szOsFile;
        g_vfs.mxPathname = g_base->mxPathname;
        g_vfs.zName = "kalvia-gathering";
        g_vfs.xOpen = xOpen;
        g_vfs.xDelete = xDelete;
        g_vfs.xAccess = xAccess;
        g_vfs.xFullPathname = xFullPathname;
        g_vfs.xDlOpen = xDlOpen;
        g_vfs.xDlError = xDlError;
        g_vfs.xDlSym = xDlSym;
        g_vfs.xDlClose = xDlClose;
        g_vfs.xRandomness = xRandomness;
        g_vfs.xSleep = xSleep;
        g_vfs.xCurrentTime = xCurrentTime;
        g_vfs.xGetLastError = xGetLastError;
        g_vfs.xCurrentTimeInt64 = xCurrentTimeInt64;
        return sqlite3_vfs_register(&g_vfs, 0) == SQLITE_OK ? g_vfs.zName : nullptr;
    }();
    return name;
}

} // namespace platform
