#include "ProfileText.h"

#include <algorithm>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

QByteArray AsciiLowered(QByteArray name)
{
    for (char &c : name)
        c = AsciiLower(c);
    return name;
}

bool SameName(const QByteArray &a, const QByteArray &b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

void Trim(const QByteArray &text, qsizetype &begin, qsizetype &end)
{
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
}

QByteArray Trimmed(const QByteArray &text, qsizetype begin, qsizetype end)
{
    Trim(text, begin, end);
    return text.mid(begin, end - begin);
}

enum class LineKind { Other, Section, Key };

struct Line
{
    qsizetype start = 0;  // first byte of the line
    qsizetype end = 0;    // one past its last byte, before the line end
    qsizetype next = 0;   // first byte of the following line
    LineKind kind = LineKind::Other;
    QByteArray name;      // section name or key, trimmed
    qsizetype valueStart = 0;
};

// Walks the lines of a profile text and tells sections, keys and the rest apart.
class LineScanner
{
public:
    explicit LineScanner(const QByteArray &text) : text(text)
    {
        // Editors on the older platform may put a UTF-8 byte order mark in front.
        if (text.startsWith("\xEF\xBB\xBF"))
            pos = 3;
    }

    bool Next(Line &line)
    {
        if (pos >= text.size())
            return false;
        line = Line();
        line.start = pos;
        qsizetype end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        line.end = end;
        line.next = end;
        if (end < text.size())
            line.next += (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
        pos = line.next;
        Classify(line);
        return true;
    }

private:
    void Classify(Line &line) const
    {
        qsizetype begin = line.start;
        qsizetype end = line.end;
        Trim(text, begin, end);
        if (begin == end || text[begin] == ';')
            return;
        if (text[begin] == '[') {
            const qsizetype close = text.indexOf(']', begin);
            if (close >= 0 && close < end) {
                line.kind = LineKind::Section;
                line.name = Trimmed(text, begin + 1, close);
            }
            return;
        }
        const qsizetype equals = text.indexOf('=', begin);
        if (equals >= 0 && equals < end) {
            line.kind = LineKind::Key;
            line.name = Trimmed(text, begin, equals);
            line.valueStart = equals + 1;
        }
    }

    const QByteArray &text;
    qsizetype pos = 0;
};

QByteArray CleanValue(const QByteArray &text, qsizetype begin, qsizetype end)
{
    Trim(text, begin, end);
    const bool quoted = end - begin >= 2 && (text[begin] == '"' || text[begin] == '\'')
        && text[end - 1] == text[begin];
    if (quoted) {
        ++begin;
        --end;
    }
    QByteArray value = text.mid(begin, std::min<qsizetype>(end - begin, ProfileText::MaxValueLength));
    const qsizetype nul = value.indexOf('\0');
    if (nul >= 0)
        value.truncate(nul);
    return Trimmed(value, 0, value.size());
}

} // namespace

ProfileText::ProfileText(QByteArray content) : content(std::move(content)) {}

std::optional<QByteArray> ProfileText::Value(const QByteArray &section, const QByteArray &key) const
{
    LineScanner lines(content);
    Line line;
    bool inSection = false;
    while (lines.Next(line)) {
        if (line.kind == LineKind::Section) {
            if (inSection)
                return std::nullopt;
            inSection = SameName(line.name, section);
        } else if (inSection && line.kind == LineKind::Key && SameName(line.name, key)) {
            return CleanValue(content, line.valueStart, line.end);
        }
    }
    return std::nullopt;
}

void ProfileText::SetValue(const QByteArray &section, const QByteArray &key, const QByteArray &value)
{
    LineScanner lines(content);
    Line line;
    bool inSection = false;
    std::optional<Line> anchor;  // the line a new key follows
    while (lines.Next(line)) {
        if (line.kind == LineKind::Section) {
            if (inSection)
                break;
            inSection = SameName(line.name, section);
            if (inSection)
                anchor = line;
        } else if (inSection && line.kind == LineKind::Key) {
            if (SameName(line.name, key)) {
                content.replace(line.start, line.end - line.start, line.name + '=' + value);
                return;
            }
            anchor = line;
        }
    }

    if (anchor) {
        QByteArray added;
        if (anchor->next == anchor->end)  // last line of the text, without a line end
            added += "\r\n";
        added += key + '=' + value + "\r\n";
        content.insert(anchor->next, added);
        return;
    }
    if (!content.isEmpty() && !content.endsWith('\n') && !content.endsWith('\r'))
        content += "\r\n";
    content += '[' + section + "]\r\n" + key + '=' + value + "\r\n";
}

QHash<QByteArray, QByteArray> ProfileText::SectionValues(const QByteArray &section) const
{
    QHash<QByteArray, QByteArray> values;
    LineScanner lines(content);
    Line line;
    bool inSection = false;
    while (lines.Next(line)) {
        if (line.kind == LineKind::Section) {
            if (inSection)
                break;
            inSection = SameName(line.name, section);
        } else if (inSection && line.kind == LineKind::Key) {
            const QByteArray key = AsciiLowered(line.name);
            if (!values.contains(key))
                values.insert(key, CleanValue(content, line.valueStart, line.end));
        }
    }
    return values;
}

void ProfileText::SetValues(const QByteArray &section, const QList<Entry> &entries)
{
    // Where each key of the section stands, and the line new keys follow.
    QHash<QByteArray, Line> keyLines;
    std::optional<Line> anchor;
    LineScanner lines(content);
    Line line;
    bool inSection = false;
    while (lines.Next(line)) {
        if (line.kind == LineKind::Section) {
            if (inSection)
                break;
            inSection = SameName(line.name, section);
            if (inSection)
                anchor = line;
        } else if (inSection && line.kind == LineKind::Key) {
            const QByteArray key = AsciiLowered(line.name);
            if (!keyLines.contains(key))
                keyLines.insert(key, line);
            anchor = line;
        }
    }

    struct Edit
    {
        qsizetype start, end;
        QByteArray text;
    };
    QList<Edit> edits;
    QList<Entry> newKeys;
    // A key given twice keeps its last value, in the place of its first.
    QHash<QByteArray, qsizetype> editOfKey, newKeyOf;
    for (const Entry &entry : entries) {
        const QByteArray key = AsciiLowered(entry.first);
        const auto found = keyLines.constFind(key);
        if (found != keyLines.constEnd()) {
            const QByteArray text = found->name + '=' + entry.second;
            if (editOfKey.contains(key)) {
                edits[editOfKey.value(key)].text = text;
            } else {
                editOfKey.insert(key, edits.size());
                edits.append({found->start, found->end, text});
            }
        } else if (newKeyOf.contains(key)) {
            newKeys[newKeyOf.value(key)].second = entry.second;
        } else {
            newKeyOf.insert(key, newKeys.size());
            newKeys.append(entry);
        }
    }
    QByteArray added;
    for (const Entry &entry : std::as_const(newKeys))
        added += entry.first + '=' + entry.second + "\r\n";
    if (!added.isEmpty()) {
        if (anchor) {
            if (anchor->next == anchor->end)  // last line of the text, without a line end
                added.prepend("\r\n");
            edits.append({anchor->next, anchor->next, added});
        } else {
            if (!content.isEmpty() && !content.endsWith('\n') && !content.endsWith('\r'))
                added.prepend("\r\n");
            added.insert(added.startsWith("\r\n") ? 2 : 0, '[' + section + "]\r\n");
            edits.append({content.size(), content.size(), added});
        }
    }
    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit &a, const Edit &b) { return a.start < b.start; });

    QByteArray result;
    qsizetype size = content.size();
    for (const Edit &edit : edits)
        size += edit.text.size() - (edit.end - edit.start);
    result.reserve(size);
    qsizetype copied = 0;
    for (const Edit &edit : edits) {
        result.append(content.constData() + copied, edit.start - copied);
        result.append(edit.text);
        copied = edit.end;
    }
    result.append(content.constData() + copied, content.size() - copied);
    content = std::move(result);
}
