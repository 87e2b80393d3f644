#include "settings/ini_file.h"

#include "platform/gbk_codec.h"

#include <QFile>
#include <QSaveFile>

#include <functional>

namespace skysail {
namespace {

// Longest line taken as a setting; the real file's lines are a few dozen bytes.
constexpr qint64 kMaxLineBytes = 64 * 1024;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray Trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toByteArray();
}

char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Profile names compare without regard to letter case. Only ASCII letters fold, and the
// comparison steps over whole GBK characters so that a trail byte that happens to be a
// letter is never folded.
bool SameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size();) {
        const auto lead = static_cast<unsigned char>(a[i]);
        const int length = GbkCharLength(lead);
        if (length == 1) {
            if (FoldAscii(a[i]) != FoldAscii(b[i]))
                return false;
        } else if (a.sliced(i, qMin<qsizetype>(length, a.size() - i))
            != b.sliced(i, qMin<qsizetype>(length, b.size() - i))) {
            return false;
        }
        i += length;
    }
    return true;
}

struct Line
{
    QByteArray text; // without the line end; empty for an overlong line
    QByteArray ending; // "\r\n", "\n" or "" (the last line of a file without one)
    bool overlong = false;
};

// What a line means to the profile layout.
struct Parsed
{
    enum Kind
    {
        Other,
        Section,
        Key,
    } kind
        = Other;
    QByteArray name;
    QByteArray value;
};

Parsed Parse(const Line& line)
{
    Parsed parsed;
    if (line.overlong)
        return parsed;
    const QByteArray text = Trimmed(line.text);
    if (text.isEmpty())
        return parsed;
    if (text.startsWith('[')) {
        const qsizetype close = text.lastIndexOf(']');
        if (close > 0) {
            parsed.kind = Parsed::Section;
            parsed.name = Trimmed(QByteArrayView(text).sliced(1, close - 1));
            return parsed;
        }
    }
    const qsizetype equals = text.indexOf('=');
    parsed.kind = Parsed::Key;
    if (equals < 0) {
        parsed.name = text;
        return parsed;
    }
    parsed.name = Trimmed(QByteArrayView(text).first(equals));
    parsed.value = Trimmed(QByteArrayView(text).sliced(equals + 1));
    return parsed;
}

// Reads the device a line at a time. An overlong line comes back with `overlong` set; its
// raw bytes go to `overflow` when one is given (the writer copies them through unchanged).
class LineScanner
{
public:
    explicit LineScanner(QIODevice& device)
        : m_device(device)
    { }

    bool Next(Line& line, const std::function<void(QByteArrayView)>& overflow = {})
    {
        line = Line {};
        char buffer[kMaxLineBytes + 1];
        const qint64 got = m_device.readLine(buffer, sizeof(buffer));
        if (got <= 0)
            return false;
        QByteArrayView piece(buffer, got);
        if (piece.endsWith('\n') || m_device.atEnd()) {
            Split(piece, line);
            return true;
        }
        // Longer than any setting: pass the raw bytes on, up to and including the line end.
        line.overlong = true;
        if (overflow)
            overflow(piece);
        for (;;) {
            const qint64 more = m_device.readLine(buffer, sizeof(buffer));
            if (more <= 0)
                break;
            if (overflow)
                overflow(QByteArrayView(buffer, more));
            if (buffer[more - 1] == '\n')
                break;
        }
        return true;
    }

private:
    static void Split(QByteArrayView piece, Line& line)
    {
        qsizetype end = piece.size();
        if (piece.endsWith("\r\n"))
            end -= 2;
        else if (piece.endsWith('\n'))
            end -= 1;
        line.text = piece.first(end).toByteArray();
        line.ending = piece.sliced(end).toByteArray();
    }

    QIODevice& m_device;
};

// The ANSI profile functions drop one pair of matching quotes around a value.
QByteArray Unquoted(const QByteArray& value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

bool HasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) || text.contains(QChar(0));
}

} // namespace

QString IniFile::Read(const QString& section, const QString& key) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray wantedSection = GbkEncode(section);
    const QByteArray wantedKey = GbkEncode(key);

    LineScanner scanner(file);
    Line line;
    bool inSection = false;
    bool sectionSeen = false;
    while (scanner.Next(line)) {
        const Parsed parsed = Parse(line);
        if (parsed.kind == Parsed::Section) {
            if (inSection)
                return {}; // the first matching section holds no such key
            inSection = !sectionSeen && SameName(parsed.name, wantedSection);
            sectionSeen = sectionSeen || inSection;
        } else if (parsed.kind == Parsed::Key && inSection && SameName(parsed.name, wantedKey)) {
            return GbkDecode(Unquoted(parsed.value));
        }
    }
    return {};
}

bool IniFile::Write(const QString& section, const QString& key, const QString& value) const
{
    if (section.contains(QLatin1Char(']')) || key.contains(QLatin1Char('=')) || key.trimmed().isEmpty()
        || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        return false;
    const QByteArray wantedSection = GbkEncode(section);
    const QByteArray wantedKey = GbkEncode(key);
    const QByteArray newValue = GbkEncode(value);
    const QByteArray crlf = QByteArrayLiteral("\r\n");

    QFile old(m_path);
    const bool hadFile = old.exists();
    if (hadFile && !old.open(QIODevice::ReadOnly))
        return false; // never replace a file we could not read

    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly))
        return false;

    bool inSection = false; // inside the first section of that name
    bool sectionSeen = false;
    bool written = false;
    bool endsWithLineEnd = true;
    // Blank lines at the end of the target section are held back, so that a new key lands
    // right after the section's last entry rather than after the gap before the next one.
    QByteArray heldBlanks;
    auto copy = [&](QByteArrayView bytes) {
        if (!heldBlanks.isEmpty()) {
            out.write(heldBlanks);
            heldBlanks.clear();
        }
        if (!bytes.isEmpty()) {
            out.write(bytes.data(), bytes.size());
            endsWithLineEnd = bytes.endsWith('\n');
        }
    };
    auto insertKey = [&] {
        QByteArray keyLine = wantedKey + '=' + newValue + crlf;
        if (!endsWithLineEnd)
            keyLine.prepend(crlf);
        const QByteArray blanks = std::exchange(heldBlanks, {});
        out.write(keyLine);
        out.write(blanks);
        endsWithLineEnd = blanks.isEmpty() ? true : blanks.endsWith('\n');
        written = true;
    };

    if (hadFile) {
        LineScanner scanner(old);
        Line line;
        while (scanner.Next(line, copy)) {
            if (line.overlong)
                continue; // already copied through
            const Parsed parsed = Parse(line);
            if (parsed.kind == Parsed::Section) {
                if (inSection && !written)
                    insertKey();
                inSection = !sectionSeen && SameName(parsed.name, wantedSection);
                sectionSeen = sectionSeen || inSection;
            } else if (parsed.kind == Parsed::Other && inSection && !written) {
                heldBlanks += line.text + line.ending;
                continue;
            } else if (parsed.kind == Parsed::Key && inSection && !written && SameName(parsed.name, wantedKey)) {
                copy(parsed.name + '=' + newValue + (line.ending.isEmpty() ? QByteArray() : line.ending));
                written = true;
                continue;
            }
            copy(line.text + line.ending);
        }
    }
    if (!written) {
        if (inSection) {
            insertKey();
        } else {
            copy({});
            QByteArray tail;
            if (!endsWithLineEnd)
                tail += crlf;
            tail += '[' + wantedSection + ']' + crlf + wantedKey + '=' + newValue + crlf;
            out.write(tail);
        }
    } else {
        copy({});
    }
    return out.commit();
}

} // namespace skysail
