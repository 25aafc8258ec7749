#include "platform/inistore.h"

#include "platform/cp1252.h"
#include "platform/files.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace platform {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v';
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A span of bytes [begin, end) of the file text.
struct Span {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype size() const { return end - begin; }
};

Span trimmed(const char* data, Span s)
{
    while (s.begin < s.end && isBlank(data[s.begin]))
        ++s.begin;
    while (s.end > s.begin && isBlank(data[s.end - 1]))
        --s.end;
    return s;
}

// One line of the text: its content and where the next line starts (after CR LF, CR or LF).
struct Line {
    Span content;
    qsizetype next = 0;
    bool terminated() const { return next > content.end; }
};

enum class LineKind { Other, Header, Entry };

// A classified line: the name of a header or entry and, for an entry, the "=" and the value.
struct Parsed {
    LineKind kind = LineKind::Other;
    Span name;
    qsizetype equals = -1;
    Span value; // trimmed, quotes included
};

class Lines {
public:
    explicit Lines(const QByteArray& text) : m_data(text.constData()), m_size(text.size()) {}

    bool next(Line& line)
    {
        if (m_pos >= m_size)
            return false;
        qsizetype end = m_pos;
        while (end < m_size && m_data[end] != '\r' && m_data[end] != '\n')
            ++end;
        line.content = {m_pos, end};
        if (end < m_size && m_data[end] == '\r' && end + 1 < m_size && m_data[end + 1] == '\n')
            line.next = end + 2;
        else
            line.next = end < m_size ? end + 1 : end;
        m_pos = line.next;
        return true;
    }

    Parsed parse(const Line& line) const
    {
        Parsed p;
        const Span s = trimmed(m_data, line.content);
        if (s.size() == 0 || m_data[s.begin] == ';')
            return p;
        if (m_data[s.begin] == '[') {
            // Text after the first "]" does not count; a header without "]" still names a section.
            const void* close = std::memchr(m_data + s.begin + 1, ']', static_cast<size_t>(s.end - s.begin - 1));
            const qsizetype nameEnd = close ? static_cast<const char*>(close) - m_data : s.end;
            p.kind = LineKind::Header;
            p.name = trimmed(m_data, {s.begin + 1, nameEnd});
            return p;
        }
        const void* eq = std::memchr(m_data + s.begin, '=', static_cast<size_t>(s.size()));
        if (!eq)
            return p;
        p.kind = LineKind::Entry;
        p.equals = static_cast<const char*>(eq) - m_data;
        p.name = trimmed(m_data, {s.begin, p.equals});
        p.value = trimmed(m_data, {p.equals + 1, s.end});
        return p;
    }

    const char* data() const { return m_data; }

private:
    const char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

// A section or key name to look for, matched without regard to letter case.
class Name {
public:
    explicit Name(const QString& name) : m_text(name.trimmed()), m_bytes(toCp1252(m_text))
    {
        for (const char c : m_bytes)
            m_ascii = m_ascii && static_cast<unsigned char>(c) < 0x80;
    }

    bool matches(const char* data, Span s) const
    {
        if (s.size() != m_bytes.size())
            return false;
        if (m_ascii) {
            // No character of the code page outside ASCII folds to an ASCII letter.
            for (qsizetype i = 0; i < s.size(); ++i) {
                if (asciiLower(data[s.begin + i]) != asciiLower(m_bytes[i]))
                    return false;
            }
            return true;
        }
        return fromCp1252(QByteArray(data + s.begin, s.size())).compare(m_text, Qt::CaseInsensitive) == 0;
    }

    const QByteArray& bytes() const { return m_bytes; }

private:
    QString m_text;
    QByteArray m_bytes;
    bool m_ascii = true;
};

QByteArray unquoted(const char* data, Span v)
{
    if (v.size() >= 2) {
        const char first = data[v.begin];
        if ((first == '"' || first == '\'') && data[v.end - 1] == first)
            return QByteArray(data + v.begin + 1, v.size() - 2);
    }
    return QByteArray(data + v.begin, v.size());
}

// The line end new lines get: the file's first one, CR LF for a file without any.
QByteArray lineEndOf(const QByteArray& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\n')
            return QByteArrayLiteral("\n");
        if (text[i] == '\r')
            return i + 1 < text.size() && text[i + 1] == '\n' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\r");
    }
    return QByteArrayLiteral("\r\n");
}

// Reads a whole file; nothing when it does not exist or cannot be read.
std::optional<QByteArray> readFile(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    return readWholeFile(path);
}

IniWriteBatch* g_batch = nullptr; // the open batch, if any

// A file's text as the store works on it: without a byte-order mark in the ANSI code page; after
// a UTF-8 mark as UTF-8; after a UTF-16LE mark converted to UTF-8. Written back in its own form.
struct IniText {
    enum class Form { Ansi, Utf8, Utf16 } form = Form::Ansi;
    QByteArray text;

    explicit IniText(const QByteArray& file)
    {
        if (file.startsWith("\xEF\xBB\xBF")) {
            form = Form::Utf8;
            text = file.mid(3);
        } else if (file.startsWith("\xFF\xFE")) {
            form = Form::Utf16;
            text = QString::fromUtf16(reinterpret_cast<const char16_t*>(file.constData() + 2), (file.size() - 2) / 2).toUtf8();
        } else {
            text = file;
        }
    }
    QByteArray file() const
    {
        switch (form) {
        case Form::Utf8:
            return "\xEF\xBB\xBF" + text;
        case Form::Utf16: {
            const QString unicode = QString::fromUtf8(text);
            return "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(unicode.utf16()), unicode.size() * 2);
        }
        case Form::Ansi:
            break;
        }
        return text;
    }
    QByteArray bytes(const QString& value) const { return form == Form::Ansi ? toCp1252(value) : value.toUtf8(); }
    QString value(const QByteArray& bytes) const { return form == Form::Ansi ? fromCp1252(bytes) : QString::fromUtf8(bytes); }
};

// The file's bytes with key set to value, in the file's own form.
QByteArray assigned(const QByteArray& file, const QString& section, const QString& key, const QString& value)
{
    IniText ini(file);
    const QByteArray text = initext::assign(ini.text, section, key, ini.bytes(value));
    if (text == ini.text)
        return file;
    ini.text = text;
    return ini.file();
}

std::optional<QString> readValue(const QString& section, const QString& key, const QString& file)
{
    const IniWriteBatch* batch = IniWriteBatch::find(resolvePath(file));
    const std::optional<QByteArray> bytes = batch ? std::optional<QByteArray>(batch->text) : readFile(file);
    if (!bytes)
        return std::nullopt;
    const IniText ini(*bytes);
    const std::optional<QByteArray> value = initext::lookup(ini.text, section, key);
    if (!value)
        return std::nullopt;
    return ini.value(*value);
}

} // namespace

namespace initext {

std::optional<QByteArray> lookup(const QByteArray& text, const QString& section, const QString& key)
{
    const Name wantedSection(section);
    const Name wantedKey(key);
    Lines lines(text);
    Line line;
    bool inSection = false;
    while (lines.next(line)) {
        const Parsed p = lines.parse(line);
        if (p.kind == LineKind::Header) {
            if (inSection)
                return std::nullopt; // only the first copy of a section is searched
            inSection = wantedSection.matches(lines.data(), p.name);
        } else if (p.kind == LineKind::Entry && inSection && wantedKey.matches(lines.data(), p.name)) {
            return unquoted(lines.data(), p.value);
        }
    }
    return std::nullopt;
}

QByteArray assign(const QByteArray& text, const QString& section, const QString& key, const QByteArray& value)
{
    const Name wantedSection(section);
    const Name wantedKey(key);
    const QByteArray eol = lineEndOf(text);
    const QByteArray entry = wantedKey.bytes() + '=' + value;

    Lines lines(text);
    Line line;
    bool inSection = false;
    bool found = false;
    Line last; // the header of the section, then its last entry
    while (lines.next(line)) {
        const Parsed p = lines.parse(line);
        if (p.kind == LineKind::Header) {
            if (inSection)
                break;
            inSection = wantedSection.matches(lines.data(), p.name);
            if (inSection) {
                found = true;
                last = line;
            }
        } else if (p.kind == LineKind::Entry && inSection) {
            if (wantedKey.matches(lines.data(), p.name)) {
                // The value is replaced from its first character (just after "=" when it is empty)
                // to the end of the line; name, blanks and "=" before it stay as they are.
                const qsizetype from = p.value.size() > 0 ? p.value.begin : p.equals + 1;
                if (value.isEmpty() && unquoted(lines.data(), p.value).isEmpty())
                    return text; // it reads empty already
                if (QByteArrayView(text).sliced(from, line.content.end - from) == value)
                    return text; // shared, not copied: the common case of writing back what was read
                return text.left(from) + value + text.mid(line.content.end);
            }
            last = line;
        }
    }

    if (found) {
        QByteArray added = entry + eol;
        if (!last.terminated())
            added.prepend(eol);
        return text.left(last.next) + added + text.mid(last.next);
    }
    QByteArray result = text;
    if (!result.isEmpty() && !result.endsWith('\n') && !result.endsWith('\r'))
        result += eol;
    return result + '[' + wantedSection.bytes() + ']' + eol + entry + eol;
}

} // namespace initext

int GetPrivateProfileStringA(const QString& section, const QString& key, const QString& defaultValue,
                             QString& buffer, int size, const QString& file)
{
    buffer.clear();
    if (size <= 0)
        return 0;
    std::optional<QString> value = readValue(section, key, file);
    if (!value) {
        QString fallback = defaultValue;
        while (fallback.endsWith(QLatin1Char(' ')))
            fallback.chop(1);
        value = fallback;
    }
    buffer = value->left(size - 1);
    return static_cast<int>(buffer.size());
}

int GetPrivateProfileIntA(const QString& section, const QString& key, int defaultValue, const QString& file)
{
    const std::optional<QString> value = readValue(section, key, file);
    if (!value || value->isEmpty())
        return defaultValue;
    qsizetype i = 0;
    bool negative = false;
    if (value->at(0) == QLatin1Char('-') || value->at(0) == QLatin1Char('+')) {
        negative = value->at(0) == QLatin1Char('-');
        ++i;
    }
    quint32 result = 0;
    for (; i < value->size(); ++i) {
        const char16_t c = value->at(i).unicode();
        if (c < u'0' || c > u'9')
            break;
        result = result * 10u + static_cast<quint32>(c - u'0');
    }
    if (negative)
        result = 0u - result;
    return static_cast<int>(result);
}

int WritePrivateProfileStringA(const QString& section, const QString& key, const QString& value,
                               const QString& file)
{
    if (file.isEmpty())
        return 0;
    const QString path = resolvePath(file);
    if (IniWriteBatch* batch = IniWriteBatch::find(path)) {
        if (!batch->writable) {
            batch->refused = true;
            return 0;
        }
        batch->text = assigned(batch->text, section, key, value);
        return 1;
    }
    const QFileInfo info(path);
    QByteArray before;
    const bool exists = info.exists();
    if (exists) {
        if (!info.isFile() || !info.isWritable())
            return 0;
        const std::optional<QByteArray> text = readFile(path);
        if (!text)
            return 0;
        before = *text;
    }
    const QByteArray after = assigned(before, section, key, value);
    if (exists && after == before)
        return 1;

    return writeFileAtomically(path, after) ? 1 : 0;
}

IniWriteBatch::IniWriteBatch(const QString& file)
    : m_path(resolvePath(file))
{
    const QFileInfo info(m_path);
    m_exists = info.exists();
    // A file that can be read but not written still answers the batch's reads.
    std::optional<QByteArray> bytes;
    if (m_exists && info.isFile())
        bytes = readFile(m_path);
    if (bytes)
        text = *bytes;
    writable = !m_path.isEmpty() && (!m_exists || (bytes && info.isWritable()));
    m_original = text;
    if (!g_batch)
        g_batch = this;
}

IniWriteBatch::~IniWriteBatch()
{
    if (g_batch == this)
        g_batch = nullptr;
}

IniWriteBatch* IniWriteBatch::find(const QString& resolvedPath)
{
    return (g_batch && !g_batch->m_done && g_batch->m_path == resolvedPath) ? g_batch : nullptr;
}

int IniWriteBatch::commit()
{
    m_done = true;
    if (g_batch == this)
        g_batch = nullptr;
    if (refused || !writable)
        return refused ? 0 : 1; // an unwritable file that was asked for nothing stays as it is
    if (text == m_original && (m_exists || text.isEmpty()))
        return 1;
    return writeFileAtomically(m_path, text) ? 1 : 0;
}

} // namespace platform
