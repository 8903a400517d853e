#include "ProfileText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Feeds arbitrary bytes to the profile reader and editor and stops hard when a
// promise of the layer breaks: values are bounded, NUL-free and trimmed, an
// edited key reads back, and the edit leaves every other key alone.
namespace {

const QByteArray Sections[] = {"Main", "Other"};
const QByteArray Keys[] = {"Type", "Music0.0", "VOL2.2", "A"};

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckValue(const std::optional<QByteArray> &value)
{
    if (!value)
        return;
    Require(value->size() <= ProfileText::MaxValueLength);
    Require(!value->contains('\0'));
    Require(value->isEmpty() || (value->front() != ' ' && value->back() != ' '));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const ProfileText before(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    for (const QByteArray &section : Sections)
        for (const QByteArray &key : Keys)
            CheckValue(before.Value(section, key));

    ProfileText edited = before;
    edited.SetValue("Main", "Music0.0", "123");
    Require(edited.Value("Main", "music0.0") == QByteArray("123"));
    for (const QByteArray &section : Sections)
        for (const QByteArray &key : Keys)
            if (section != "Main" || key != "Music0.0")
                Require(edited.Value(section, key) == before.Value(section, key));

    // The one-pass forms agree with the key-by-key ones.
    const QHash<QByteArray, QByteArray> main = before.SectionValues("Main");
    for (const QByteArray &key : Keys) {
        const std::optional<QByteArray> one = before.Value("Main", key);
        Require(one ? main.value(key.toLower()) == *one && main.contains(key.toLower())
                    : !main.contains(key.toLower()));
    }
    const QList<ProfileText::Entry> entries{
        {"Music0.0", "7"}, {"Type", "QSV-416MZ"}, {"New.Key", "x"}, {"music0.0", "8"}, {"new.key", "y"}};
    ProfileText keyByKey = before;
    for (const ProfileText::Entry &entry : entries)
        keyByKey.SetValue("Main", entry.first, entry.second);
    ProfileText onePass = before;
    onePass.SetValues("Main", entries);
    Require(onePass.Content() == keyByKey.Content());
    return 0;
}
