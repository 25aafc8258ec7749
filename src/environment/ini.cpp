#include "environment/ini.h"

#include "environment/errors.h"
#include "platform/inistore.h"

#include <QMetaType>

#include <limits>

namespace environment {

namespace {

// The buffer of the string readers: 255 characters with the terminating zero.
constexpr int kBufferSize = 255;

// A number as decimal text with "." whatever the locale, the exponent marked "E".
QString numberText(double value, int precision)
{
    return QString::number(value, 'g', precision).toUpper().trimmed();
}

// Reads an entry into buffer through the procedure's handler and returns the number of characters
// copied. The default is all blanks, which the store strips: a missing entry gives 0.
int readEntry(Handler& h, const QString& Section, const QString& Entry, const QString& File, QString& buffer)
{
    int n = 0;
    h([&] {
        n = platform::GetPrivateProfileStringA(Section, Entry, QString(kBufferSize, QLatin1Char(' ')), buffer,
                                               kBufferSize, File);
    });
    return n;
}

} // namespace

QString LoadIniString(Context& ctx, const QString& Section, const QString& Entry, const QString& File)
{
    Handler h(ctx, QStringLiteral("LoadIniString"));
    QString buffer;
    const int n = readEntry(h, Section, Entry, File, buffer);
    return buffer.left(n);
}

qint16 LoadIniInteger(Context& ctx, const QString& Section, const QString& Entry, const QString& File)
{
    Handler h(ctx, QStringLiteral("LoadIniInteger"));
    qint16 v = 0;
    h([&] {
        const qint64 read = platform::GetPrivateProfileIntA(Section, Entry, -1, File);
        if (read < std::numeric_limits<qint16>::min() || read > std::numeric_limits<qint16>::max())
            raise(ErrOverflow, QStringLiteral("entry '%1' in section [%2] of '%3'").arg(Entry, Section, File));
        v = qint16(read);
    });
    return v;
}

bool LoadIniBoolean(Context& ctx, const QString& Section, const QString& Entry, const QString& File)
{
    Handler h(ctx, QStringLiteral("LoadIniBoolean"));
    QString buffer;
    const int n = readEntry(h, Section, Entry, File, buffer);
    return buffer.left(n).toUpper() == QLatin1String("TRUE");
}

qint16 SaveIni(Context& ctx, const QVariant& Value, const QString& Section, const QString& Entry,
               const QString& File)
{
    Handler h(ctx, QStringLiteral("SaveIni"));
    QString text;
    h([&] {
        switch (Value.typeId()) {
        case QMetaType::Short:
        case QMetaType::Int:
        case QMetaType::UChar:
            text = QString::number(Value.toLongLong());
            break;
        case QMetaType::Float:
            text = numberText(Value.toFloat(), 7);
            break;
        case QMetaType::Double:
            text = numberText(Value.toDouble(), 15);
            break;
        case QMetaType::QString:
            text = Value.toString();
            break;
        case QMetaType::Bool:
            text = Value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
            break;
        default:
            FaultMessage(ctx, QStringLiteral("Ini Save:  wrong data type"));
            text.clear();
            break;
        }
    });
    qint16 r = 0;
    h([&] {
        r = toInt16(platform::WritePrivateProfileStringA(Section, Entry, text, File));
        if (r == 0)
            raise(ErrFileAccess, File);
    });
    return r;
}

} // namespace environment
