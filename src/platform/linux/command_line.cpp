#include "platform/linux/command_line.h"

#include <QCommandLineParser>
#include <cstdio>

namespace daylume {

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Keeps the desktop picture set to the Bing image of the day, from the panel's tray.\n"
        "A second launch asks the running Daylume to look for a new picture."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption refresh(
        QStringLiteral("refresh"),
        QStringLiteral("Asks the running Daylume to fetch and set today's picture now; starts "
                       "Daylume when none runs."));
    const QCommandLineOption preferences(
        QStringLiteral("preferences"),
        QStringLiteral("Shows the preferences of the running Daylume; starts Daylume when none "
                       "runs."));
    const QCommandLineOption quit(QStringLiteral("quit"),
                                  QStringLiteral("Asks the running Daylume to quit."));
    const QCommandLineOption autostart(
        QStringLiteral("autostart"),
        QStringLiteral("Started by the session at login: without a system tray, Daylume then shows "
                       "no window."));
    parser.addOptions({refresh, preferences, quit, autostart});

    // Read before QApplication exists, when Qt cannot name the program itself.
    const QString usage =
        parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("daylume"));
    auto usageError = [&](const QString& error) {
        std::fprintf(stderr, "daylume: %s\n\n%s", qPrintable(error), qPrintable(usage));
        return CommandLine{.exitStatus = 2};
    };
    if (!parser.parse(arguments)) return usageError(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument '%1'")
                              .arg(parser.positionalArguments().constFirst()));
    if (int(parser.isSet(refresh)) + int(parser.isSet(preferences)) + int(parser.isSet(quit)) > 1)
        return usageError(
            QStringLiteral("--refresh, --preferences and --quit cannot be given together"));
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(usage), stdout);
        return {.exitStatus = 0};
    }
    if (parser.isSet(version)) {
        std::printf("Daylume %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return {.exitStatus = 0};
    }
    CommandLine command{.atLogin = parser.isSet(autostart)};
    if (parser.isSet(quit)) command.request = CommandLine::Request::Quit;
    if (parser.isSet(refresh)) command.request = CommandLine::Request::Refresh;
    if (parser.isSet(preferences)) command.request = CommandLine::Request::Preferences;
    return command;
}

}  // namespace daylume
