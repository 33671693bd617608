#include "window/Main.h"
#include "resources/Images.h"
#include "runner/LocalPath.h"
#include "runner/TerminationSignals.h"
#include "window/ApplicationErrors.h"

#include <QApplication>
#include <QByteArray>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr char Usage[] = "Usage: quillmark [FOLDER | FILE]\n"
                         "       quillmark -f [FILE]\n"
                         "       quillmark --help | --version\n"
                         "\n"
                         "Lists the *.po files of a folder and shows how far each translation has come, as msgfmt\n"
                         "checks it; files of the shown folder are checked again when they change.\n"
                         "\n"
                         "  FOLDER     open the \"Catalog listing\" page and read FOLDER\n"
                         "  FILE       open the \"Single file output\" page and check FILE\n"
                         "  -f FILE    the same for FILE exactly as written\n"
                         "  --help     show this text\n"
                         "  --version  show the version\n"
                         "\n"
                         "Without an argument the catalog page shows the last folder and reads nothing until asked.\n"
                         "A path that does not exist is named on the single-file page when it ends in .po, else in\n"
                         "the catalog.\n"
                         "\n"
                         "Settings: $XDG_CONFIG_HOME/Velloran/Quillmark/settings.json (~/.config when unset).\n"
                         "msgfmt, from GNU gettext, must be on PATH.\n";

/// Whether Qt will find a screen: an X or Wayland session, or a platform chosen that needs none (offscreen).
/// Without one, Qt aborts the program with a core dump.
bool hasGraphicalSession()
{
    const auto isSet = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"))
        return true;
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform == nullptr)
        return false;
    // The platform's name ends at its options (offscreen:size=...) or at the next name of a fallback list.
    const std::string_view name(platform, std::strcspn(platform, ":;"));
    return !name.empty() && name != "xcb" && !name.starts_with("wayland");
}

} // namespace

int main(int argc, char* argv[])
{
    // Answered before the application exists, so that they need no display.
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0)
        return std::fputs(Usage, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0)
        return std::printf("quillmark %s\n", QUILLMARK_VERSION) > 0 && std::fflush(stdout) == 0 ? 0 : 1;
    if (!hasGraphicalSession()) {
        std::fputs("quillmark: needs a graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set); in a terminal, "
                   "quillmark-report prints the catalog; in scripts, run quillmark under xvfb-run\n",
                   stderr);
        return 1;
    }

    // Before any thread exists, so that every thread leaves these signals to the one that takes them.
    TerminationSignals::block();
    TApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
    QApplication::setApplicationVersion(QStringLiteral(QUILLMARK_VERSION));
    // Lets the desktop match the window to its desktop entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLMARK_APP_ID));
    QApplication::setWindowIcon(Images::windowIcon());

    // SIGTERM, SIGHUP and SIGINT close the window as its Close button does, whatever dialog is open: the checks
    // stop, and the folder and its history are saved when the window goes. Taken before the window exists, as
    // its start may wait in a message box about the settings.
    TerminationSignals termination(std::chrono::seconds(5));
    QObject::connect(&termination, &TerminationSignals::received, &app, &TApplication::endAsClose);
    // After the application took its own options out. File names are bytes: a name that is not UTF-8 keeps them.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(decodeLocalPath(QByteArray(argv[i])));
    TFrmMain window(arguments);
    if (!app.endRequested())
        window.show();
    // Ended while the start's message box was up: the main loop would clear the request, so it is not started.
    return app.endRequested() ? 0 : QApplication::exec();
}
