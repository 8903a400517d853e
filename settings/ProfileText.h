#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <utility>
#include <optional>

// A sections-and-keys profile text held in memory, read and edited the way
// the older platform's private-profile functions treat their files, so that
// files can travel between installations in both directions.
//
// Reading: section and key names match without regard to ASCII letter case;
// blanks around section names, keys and values are trimmed; a value wrapped
// in one pair of matching double or single quotes loses them; a line whose
// first non-blank is ";" is a comment; the first "=" splits key from value;
// the first of duplicate sections or keys wins; CR LF, LF and lone CR all end
// a line; a value is cut to MaxValueLength characters and ends before a NUL.
//
// Editing touches only what it must: an existing key's line is replaced
// (keeping the file's spelling of the key and that line's own line end), a
// new key goes after the last key line of its section, a new section at the
// end of the text. New lines end in CR LF. Every other byte stays.
class ProfileText
{
public:
    static constexpr int MaxValueLength = 249;

    explicit ProfileText(QByteArray content = QByteArray());

    const QByteArray &Content() const { return content; }

    // The value of key in section, or nothing when the section or key is missing.
    std::optional<QByteArray> Value(const QByteArray &section, const QByteArray &key) const;

    void SetValue(const QByteArray &section, const QByteArray &key, const QByteArray &value);

    // Every key of section with its value, from one pass over the text; the keys
    // in ASCII lower case, the first of duplicates kept. Value() of each, at once.
    QHash<QByteArray, QByteArray> SectionValues(const QByteArray &section) const;

    using Entry = std::pair<QByteArray, QByteArray>;
    // The same text as SetValue for each entry in turn, from one pass.
    void SetValues(const QByteArray &section, const QList<Entry> &entries);

private:
    QByteArray content;
};
