#pragma once

#include <QString>

namespace skysail {

// The settings file in the platform's profile layout: "[section]" lines and "key=value"
// lines, GBK text, CR LF line ends. Reads what the Windows profile functions write and what
// people write by hand: LF line ends, blank lines, spaces around "=" and the brackets, names
// in another letter case, a value in matching quotes. With a section or key given twice the
// first one counts.
//
// Both operations stream the file a line at a time, so a huge or binary file costs no more
// memory than its longest line (capped; a longer line is never a setting).
class IniFile
{
public:
    explicit IniFile(QString path)
        : m_path(std::move(path))
    { }

    const QString& Path() const { return m_path; }

    // The value, or the empty text when the file, section or key is missing.
    QString Read(const QString& section, const QString& key) const;

    // Replaces the value in place, keeping every other line and its order; adds the key at
    // the end of its section, or the section at the end of the file. The file is replaced
    // atomically (a new file renamed over the old), so a failed write leaves it as it was.
    // False when nothing was written: the folder is missing, the old file is unreadable, or
    // a name or the value holds a line break (or "=" in a key, "]" in a section).
    bool Write(const QString& section, const QString& key, const QString& value) const;

private:
    QString m_path;
};

} // namespace skysail
