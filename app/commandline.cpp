#include "app/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    std::fputs(qPrintable(text), stream);
    std::fflush(stream);
}

// The options QGuiApplication and QApplication take for themselves, listed by
// --help-all only (no application object exists yet to list them).
void acceptQtOptions(QCommandLineParser &parser, bool listed)
{
    struct QtOption
    {
        const char *name;
        const char *value; // null: a switch
        const char *description;
    };
    static constexpr QtOption options[] = {
        {"platform", "name[:options]", "The platform plugin (xcb, wayland, offscreen, ...)."},
        {"platformpluginpath", "path", "Where platform plugins are looked for."},
        {"platformtheme", "theme", "The platform theme."},
        {"plugin", "plugin", "An additional plugin to load (may be given several times)."},
        {"qwindowgeometry", "geometry", "The main window's geometry, as X11's -geometry."},
        {"qwindowicon", "icon", "The window icon."},
        {"qwindowtitle", "title", "The window title."},
        {"display", "hostname:screen", "The X display to use (xcb)."},
        {"geometry", "geometry", "Same as -qwindowgeometry."},
        {"style", "style", "The widget style (the panel sets Fusion after it)."},
        {"stylesheet", "file", "A style sheet applied to the widgets."},
        {"session", "id", "The session manager's session to restore."},
        {"name", "name", "The application's name, as X11 resources see it."},
        {"title", "title", "Same as -qwindowtitle."},
        {"qmljsdebugger", "options", "The QML/JavaScript debugger."},
        {"reverse", nullptr, "Lays the widgets out right to left."},
        {"widgetcount", nullptr, "Prints how many widgets were left undestroyed at exit."},
        {"nograb", nullptr, "Never grabs the mouse or keyboard (xcb)."},
        {"dograb", nullptr, "Grabs even when running in a debugger (xcb)."},
        {"sync", nullptr, "Runs X11 synchronously, for debugging (xcb)."},
    };
    for (const QtOption &o : options) {
        QCommandLineOption option(QString::fromLatin1(o.name), QString::fromLatin1(o.description));
        if (o.value)
            option.setValueName(QString::fromLatin1(o.value));
        if (!listed)
            option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption help{QStringLiteral("help")};
    QCommandLineOption version{QStringLiteral("version")};
    QCommandLineOption noWindow{
        QStringLiteral("no-window"),
        QStringLiteral("Runs without a window and without a display: searches, polls, records and answers "
                       "scripts on the bus; each status change is a line on stderr. Ends on SIGTERM, SIGINT "
                       "or SIGHUP.")};
    QCommandLineOption record{
        QStringLiteral("record"),
        QStringLiteral("Records every command and line to this CSV file from the start."),
        QStringLiteral("file")};
    QCommandLineOption view{
        QStringLiteral("view"),
        QStringLiteral("Shows a recording (or an export) in a trend window; opens no port "
                       "and reads no settings."),
        QStringLiteral("file")};
};

// listQtOptions: the usage of --help-all, with Qt's options.
void setUp(Parser &p, bool listQtOptions)
{
    QCommandLineParser &parser = p.parser;
    parser.setApplicationDescription(QStringLiteral(
        "Operates one PWM controller on a serial port: duty cycle, frequency preset, polling.\n"
        "Its settings are <name>.ini beside the program (or in ~/.config/pwm-panel/), <name> being the\n"
        "name it was started under; copies under other names drive other devices. See pwm-panel(1)."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.help = parser.addHelpOption();
    p.version = parser.addVersionOption();
    parser.addOption(p.noWindow);
    parser.addOption(p.record);
    parser.addOption(p.view);
    acceptQtOptions(parser, listQtOptions);
}

// No application object yet to name the program: the name it was started under.
QString usageOf(const QCommandLineParser &parser, const QStringList &arguments)
{
    return parser.helpText().replace(QStringLiteral("<executable_name>"),
                                     QFileInfo(arguments.value(0)).fileName());
}
} // namespace

std::variant<int, ProgramOptions> readCommandLine(const QStringList &arguments)
{
    Parser p;
    setUp(p, false);
    QCommandLineParser &parser = p.parser;
    const QString usage = usageOf(parser, arguments);
    if (!parser.parse(arguments)) {
        print(stderr, parser.errorText() + u'\n' + usage);
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        print(stderr,
              QStringLiteral("Unexpected argument '%1'.\n").arg(parser.positionalArguments().first()) +
                  usage);
        return 2;
    }
    if (parser.isSet(QStringLiteral("help-all"))) {
        Parser all;
        setUp(all, true);
        print(stdout, usageOf(all.parser, arguments));
        return 0;
    }
    if (parser.isSet(p.help)) {
        print(stdout, usage);
        return 0;
    }
    if (parser.isSet(p.version)) {
        print(stdout,
              QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() + u'\n');
        return 0;
    }
    return ProgramOptions{parser.isSet(p.noWindow), parser.value(p.record), parser.value(p.view)};
}
