#include "database/records.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace database {

namespace {

constexpr quint64 kLanes = 0x0001000100010001ULL;

// nocaseFold of the four characters of a word at once: a lane from a to z loses bit 5.
inline quint64 foldLanes(quint64 x)
{
    constexpr quint64 high = 0x8000 * kLanes;
    const quint64 low15 = x & ~high;
    const quint64 fromA = low15 + (0x8000 - 0x61) * kLanes; // lane's top bit: >= 'a'
    const quint64 pastZ = low15 + (0x8000 - 0x7B) * kLanes; // lane's top bit: > 'z'
    const quint64 letter = fromA & ~pastZ & ~x & high;
    return x ^ (letter >> 10);
}

inline quint64 mixWord(quint64 h, quint64 w)
{
    h ^= w;
    h *= 0x9E3779B97F4A7C15ULL;
    return (h << 31) | (h >> 33);
}

} // namespace

quint64 nocaseHash(QStringView text, quint64 seed)
{
    const char16_t* c = text.utf16();
    const size_t n = size_t(text.size());
    quint64 h = seed ^ (n * 0xC2B2AE3D27D4EB4FULL);
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        quint64 w;
        std::memcpy(&w, c + i, sizeof w);
        h = mixWord(h, foldLanes(w));
    }
    if (i < n) {
        quint64 w = 0;
        std::memcpy(&w, c + i, (n - i) * sizeof(char16_t));
        h = mixWord(h, foldLanes(w));
    }
    // Every bit of the input reaches the low bits, which pick hash-table slots.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

size_t ExpectedDefsRecords(const platform::Database& db)
{
    platform::Statement last(db, QStringLiteral("SELECT max(rowid) FROM ") + platform::quoteIdentifier(kDefsTable));
    last.step();
    return size_t(std::clamp<qint64>(last.int64(0), 0, 1000000));
}

QString TemplateReadSql()
{
    return QStringLiteral("SELECT * FROM ") + platform::quoteIdentifier(kTemplateTable) + QStringLiteral(" ORDER BY ") +
           platform::quoteIdentifier(kColumnId);
}

QString RenameLookupSql()
{
    return QStringLiteral("SELECT rowid, ") + platform::quoteIdentifier(kColumnVarName) + QStringLiteral(" FROM ") +
           platform::quoteIdentifier(kDefsTable) + QStringLiteral(" ORDER BY rowid");
}

qint16 toWholeNumber(const QVariant& v)
{
    if (isAbsent(v))
        environment::raise(94, QStringLiteral("Invalid use of Null"));
    double number = 0;
    switch (v.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        return environment::toInt16(v.toLongLong());
    case QMetaType::Bool:
        return v.toBool() ? -1 : 0;
    case QMetaType::Double:
    case QMetaType::Float:
        number = v.toDouble();
        break;
    case QMetaType::QString: {
        bool ok = false;
        number = v.toString().trimmed().toDouble(&ok);
        if (!ok)
            environment::raise(environment::ErrTypeMismatch, QStringLiteral("Type mismatch"));
        break;
    }
    default:
        environment::raise(environment::ErrTypeMismatch, QStringLiteral("Type mismatch"));
    }
    if (!std::isfinite(number) || std::fabs(number) > 40000)
        environment::raiseOverflow();
    return environment::toInt16(qint64(std::nearbyint(number))); // the default rounding mode: halves to even
}

} // namespace database
