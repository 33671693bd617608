// Property: a desktop entry's command opens exactly the given file. Whatever the entry's text, making its command
// does not crash; a command that is made starts the same program whatever the file, holds the file's path whole in
// one argument, and holds it as an argument of its own wherever Exec= has a file field code standing alone. An
// entry whose program is a plain word and which has such a field code always gives a command. Entries are taken
// as GIO loads them (their program must be installed) and, so that every Exec= line is tried, straight from the
// key file as well.

#include "fuzz/FuzzCheck.h"
#include "shell/DesktopApps.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <glib.h>

#include <algorithm>
#include <cstdint>

namespace {

// A blank, quotes and a field code of its own: none of them may split the path or be read again.
const QString FilePath = QStringLiteral("/tmp/my po's \"files\"/%f de.po");


void checkCommand(const DesktopEntry& entry)
{
    const QStringList command = EntryCommand(entry, FilePath);
    const QStringList words = ExecWords(entry.Exec);
    const bool fileCodeAlone
        = std::any_of(words.cbegin() + std::min<qsizetype>(1, words.size()), words.cend(), [](const QString& word) {
              return word == QLatin1String("%f") || word == QLatin1String("%F") || word == QLatin1String("%u")
                  || word == QLatin1String("%U");
          });
    if (fileCodeAlone && !words.first().contains(QLatin1Char('%')))
        FUZZ_CHECK(!command.isEmpty());
    if (command.isEmpty())
        return;
    // The program comes from the entry alone, whatever the file.
    FUZZ_CHECK(EntryCommand(entry, QStringLiteral("/tmp/other.po")).value(0) == command.first());
    FUZZ_CHECK(std::any_of(command.cbegin(), command.cend(), [](const QString& a) { return a.contains(FilePath); }));
    FUZZ_CHECK(!fileCodeAlone || command.mid(1).contains(FilePath));
}

QString stringOf(GKeyFile* keys, const char* key, bool localised)
{
    gchar* value = localised ? g_key_file_get_locale_string(keys, "Desktop Entry", key, nullptr, nullptr)
                             : g_key_file_get_string(keys, "Desktop Entry", key, nullptr);
    const QString text = QString::fromUtf8(value);
    g_free(value);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GKeyFile* keys = g_key_file_new();
    if (g_key_file_load_from_data(keys, reinterpret_cast<const gchar*>(data), size, G_KEY_FILE_NONE, nullptr)) {
        DesktopEntry entry;
        entry.Exec = stringOf(keys, "Exec", false);
        entry.Name = stringOf(keys, "Name", true);
        entry.Icon = stringOf(keys, "Icon", true);
        entry.FilePath = QStringLiteral("/usr/share/applications/fuzz.desktop");
        checkCommand(entry);
    }
    g_key_file_free(keys);

    static const QString entryFile
        = QDir::temp().filePath(QStringLiteral("quillmark-fuzz-%1.desktop").arg(QCoreApplication::applicationPid()));
    QFile file(entryFile);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(reinterpret_cast<const char*>(data), qsizetype(size));
        file.close();
        if (const std::optional<DesktopEntry> entry = FindDesktopEntry(entryFile))
            checkCommand(*entry);
        file.remove();
    }
    return 0;
}
