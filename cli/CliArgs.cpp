#include "CliArgs.h"

#include "CommandSuggestion.h"
#include "HelpFormat.h"
#include "SessionArgs.h"

#include <CLI/CLI.hpp>

#include <memory>

namespace {
const char kSynopsis[] = "Usage: tolvane-cli [-C DIR] [--hubs bench|system] COMMAND ...\n"
                         "       tolvane-cli [-C DIR] scan [--settle-ms N] [--json]\n"
                         "       tolvane-cli [-C DIR] upgrade [--settle-ms N] [--json] [--verify] [--history FILE]\n"
                         "                                  [--station NAME] [--lot LOT]\n"
                         "                                  [--approved FILE [--trust KEY]... [--signature FILE]]\n"
                         "       tolvane-cli [-C DIR] plan [--settle-ms N] [--explain] [--json]\n"
                         "                                  [--approved FILE [--trust KEY]... [--signature FILE]]\n"
                         "       tolvane-cli [-C DIR] inspect [--json] IMAGE...\n"
                         "       tolvane-cli [-C DIR] hubs [--json]\n"
                         "       tolvane-cli [-C DIR] history [--json] FILE\n"
                         "       tolvane-cli report [--since TIME] [--until TIME] [--station NAME]... [--lot LOT]...\n"
                         "                          [--json | --csv | --html FILE] HISTORY...\n"
                         "       tolvane-cli [-C DIR] approved [--trust KEY]... [--signature FILE] [--bin DIR]\n"
                         "                                  [--json] LIST\n"
                         "       tolvane-cli [COMMAND] --help\n"
                         "       tolvane-cli --version\n"
                         "\n"
                         "Runs the hub firmware upgrader's sequences without a window, on the hubs\n"
                         "that the ISP library ZQ460API reports. Standard output receives whatever\n"
                         "the upgrader writes there, then the final text of the log box in UTF-8\n"
                         "(its \"\\r\\n\" line ends as \"\\n\" on POSIX systems); with --json, one JSON\n"
                         "document instead, whose log keeps them.";

const char kExitStatus[] = "Exit status:\n"
                           "  0  scan, plan: the scan passed and (plan) every hub would be programmed;\n"
                           "     upgrade: every hub was programmed (and verified); inspect: every image legal;\n"
                           "     hubs: the hubs were listed; history: no hub may hold incomplete or\n"
                           "     unverified firmware; approved: the list can be used under the keys given\n"
                           "  1  the scan failed, a hub failed, was refused (or would be), the history was\n"
                           "     not written, an image could not be opened or is not legal, the hubs could\n"
                           "     not be read, the standard output could not be written; history: a write\n"
                           "     has no result, failed, or was not verified\n"
                           "  2  usage error, or the approved list cannot be read, has a bad line or (with\n"
                           "     --trust) no signature that verifies under a trusted key; history: the file\n"
                           "     cannot be read; approved: the list cannot be used\n"
                           "  3  no hub failed, at least one was already current\n"
                           "  4  upgrade --verify: a programmed hub does not show its new firmware, or is gone\n"
                           "  128+N  upgrade: interrupted by signal N (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP or a\n"
                           "     closed console); the hub being written was finished, no later hub started";

void AddSettle(CLI::App& command, CliOptions& options)
{
    const std::string help = "wait N milliseconds (0 to 600000) before the hub search instead of " +
                             std::to_string(CHubUpgrader::kDefaultSettleMs);
    command.add_option("--settle-ms", options.settleMs, help)->type_name("N")->check(CLI::Range(0u, 600000u));
}

void AddJson(CLI::App& command, CliOptions& options)
{
    command.add_flag("--json", options.json, "write one JSON document on standard output instead of the text");
}

void AddSignature(CLI::App& command, CliOptions& options)
{
    command
        .add_option("--trust", options.approval.trust,
                    "use the list only when its signature verifies under KEY (a PEM P-256 public key); give it "
                    "again for each key that may have signed")
        ->type_name("KEY")
        ->allow_extra_args(false);
    command
        .add_option("--signature", options.approval.signature,
                    "the list's signature (DER, as openssl dgst -sha256 -sign writes it) instead of the list's "
                    "name with .sig added")
        ->type_name("FILE");
}

void AddApproved(CLI::App& command, CliOptions& options)
{
    command
        .add_option("--approved", options.approval.list,
                    "write only the images that FILE (as sha256sum writes it) lists with their very contents")
        ->type_name("FILE");
    AddSignature(command, options);
}

// Where the station and the lot are held until the parse ends: CLI11 fills
// a text, the options keep whether one was given.
struct IdentityWords {
    std::string station;
    std::string lot;
};

void AddIdentity(CLI::App& command, IdentityWords& words)
{
    command
        .add_option("--station", words.station,
                    "the station the history names for the run, instead of TOLVANE_STATION or the host's name")
        ->type_name("NAME");
    command.add_option("--lot", words.lot, "the lot of boards the history names for the run, instead of TOLVANE_LOT")
        ->type_name("LOT");
}

void AddCommands(CLI::App& app, CliOptions& options, IdentityWords& words)
{
    CLI::App* scan = app.add_subcommand("scan", "what the \"Scan Device\" button runs: read SpiFlash.ini, check the "
                                                "hub filter driver, search and list the hubs");
    AddSettle(*scan, options);
    AddJson(*scan, options);
    scan->callback([&options] { options.command = CliCommand::Scan; });

    CLI::App* upgrade = app.add_subcommand("upgrade", "what the \"Start Upgrade\" button runs: the scan, then an "
                                                      "image from Bin written into every hub that needs one");
    AddSettle(*upgrade, options);
    AddJson(*upgrade, options);
    upgrade->add_flag("--verify", options.verify,
                      "after the upgrade wait, scan again and check that every programmed hub shows its new firmware");
    upgrade
        ->add_option("--history", options.history,
                     "keep a record in FILE: a line before every write, on disk before the hub is touched, and "
                     "one for each result; a FILE that cannot be written stops the upgrade before the scan")
        ->type_name("FILE");
    AddIdentity(*upgrade, words);
    AddApproved(*upgrade, options);
    upgrade->callback([&options] { options.command = CliCommand::Upgrade; });

    CLI::App* plan = app.add_subcommand("plan", "a dry run: the scan, then what upgrade would do with every hub; "
                                                "nothing is programmed");
    AddSettle(*plan, options);
    AddJson(*plan, options);
    plan->add_flag("--explain", options.explain, "list every image for every hub with the test that rejected it");
    AddApproved(*plan, options);
    plan->callback([&options] { options.command = CliCommand::Plan; });

    CLI::App* inspect = app.add_subcommand("inspect", "show the fields of firmware image files and whether they "
                                                      "are legal");
    AddJson(*inspect, options);
    inspect->add_option("IMAGE", options.images, "image files")->required();
    inspect->callback([&options] { options.command = CliCommand::Inspect; });

    CLI::App* hubs = app.add_subcommand("hubs", "list every hub the hub source shows, root hubs included, and "
                                                "whether the scan lists it or why it leaves it out");
    AddJson(*hubs, options);
    hubs->callback([&options] { options.command = CliCommand::Hubs; });

    CLI::App* history = app.add_subcommand("history", "read a history that upgrade --history wrote: every run, "
                                                      "and every hub that may hold incomplete firmware");
    AddJson(*history, options);
    history->add_option("FILE", options.historyFile, "the history file")->required();
    history->callback([&options] { options.command = CliCommand::History; });

    CLI::App* approved = app.add_subcommand("approved", "check an approved list before it goes to the stations: "
                                                        "its images, and whether its signature verifies");
    AddJson(*approved, options);
    AddSignature(*approved, options);
    approved
        ->add_option("--bin", options.imageFolder,
                     "the image folder whose images the list's entries must match, instead of Bin (in -C DIR)")
        ->type_name("DIR");
    approved->add_option("LIST", options.approval.list, "the approved list")->required();
    approved->callback([&options] { options.command = CliCommand::Approved; });
}

// loop: upgrade's options, board after board, and how many boards.
void AddLoopCommand(CLI::App& app, CliOptions& options, IdentityWords& words)
{
    CLI::App* loop = app.add_subcommand("loop", "the production line: wait for a board's hubs, upgrade them as "
                                                "upgrade does, print the board's result, wait until they are gone, "
                                                "again; Ctrl-C ends it between boards");
    AddSettle(*loop, options);
    AddJson(*loop, options);
    loop->add_flag("--verify", options.verify,
                   "after each board's upgrade, scan again and check that every programmed hub shows its new firmware");
    loop->add_option("--history", options.history, "keep a record of every board's run in FILE, as upgrade does")
        ->type_name("FILE");
    AddIdentity(*loop, words);
    AddApproved(*loop, options);
    loop->add_option("--boards", options.boards, "stop after N boards")
        ->type_name("N")
        ->check(CLI::Range(1u, 1000000u));
    loop->callback([&options] { options.command = CliCommand::Loop; });
}

// report: the line's view over the histories of many stations.
void AddReportCommand(CLI::App& app, CliOptions& options)
{
    CLI::App* report = app.add_subcommand("report", "the line's view over many histories");
    CLI::Option* json = report->add_flag("--json", options.json, "write one JSON document instead of the text");
    CLI::Option* csv = report->add_flag("--csv", options.csv, "write one CSV row per board instead of the text");
    CLI::Option* html =
        report->add_option("--html", options.html, "write one self-contained page to FILE instead of the text")
            ->type_name("FILE");
    json->excludes(csv)->excludes(html);
    csv->excludes(html);
    report->add_option("--since", options.since, "only runs that began at TIME (UTC) or later")->type_name("TIME");
    report->add_option("--until", options.until, "only runs that began before TIME (UTC)")->type_name("TIME");
    report->add_option("--station", options.reportStations, "only the runs of station NAME; again for more")
        ->type_name("NAME")
        ->allow_extra_args(false);
    report->add_option("--lot", options.reportLots, "only the runs of lot LOT; again for more")
        ->type_name("LOT")
        ->allow_extra_args(false);
    report->add_option("HISTORY", options.reportFiles, "history files; - for the standard input")->required();
    report->callback([&options] { options.command = CliCommand::Report; });
}

// How often the command given used an option; 0 for one it lacks.
std::size_t TimesGiven(const CLI::App& command, const char* name)
{
    const CLI::Option* option = command.get_option_no_throw(name);
    return option ? option->count() : 0;
}

// The options an upgrade session shares with the windows, as given, for the
// rules they all obey (SessionArgs.h).
std::string SharedRulesError(const CLI::App& app, const CliOptions& options)
{
    const std::vector<CLI::App*> commands = app.get_subcommands();
    if (commands.empty())
        return std::string();
    // CLI11 refuses a second value of an option that takes one.
    const CLI::App& command = *commands.front();
    SessionArgs shared;
    if (TimesGiven(command, "--history") > 0)
        shared.history = options.history;
    // The approved command names its list as LIST.
    if (TimesGiven(command, "--approved") > 0 || options.command == CliCommand::Approved)
        shared.approved = options.approval.list;
    shared.trust = options.approval.trust;
    if (TimesGiven(command, "--signature") > 0)
        shared.signature = options.approval.signature;
    shared.verify = options.verify;
    shared.station = options.station;
    shared.lot = options.lot;
    return SessionArgsError(shared);
}

void TakeIdentity(const CLI::App& app, const IdentityWords& words, CliOptions& options)
{
    const std::vector<CLI::App*> commands = app.get_subcommands();
    if (commands.empty() || options.command == CliCommand::Report)
        return;
    if (TimesGiven(*commands.front(), "--station") > 0)
        options.station = words.station;
    if (TimesGiven(*commands.front(), "--lot") > 0)
        options.lot = words.lot;
}

std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}
} // namespace

bool ParseCliArgs(int argc, const char* const* argv, CliOptions& options, std::string& error)
{
    CLI::App app(kSynopsis, "tolvane-cli");
    app.formatter(std::make_shared<HelpFormat>());
    app.footer(kExitStatus);
    app.require_subcommand(1);
    app.set_version_flag("-V,--version", std::string(),
                         "show the program's, the ISP library's and the build's versions");
    app.add_option("-C", options.directory, "change to DIR first; SpiFlash.ini and Bin are read there")
        ->type_name("DIR");
    app.add_option("--hubs", options.hubs,
                   "bench: the hubs of the bench file (simulated library); system: the attached hubs, read only; "
                   "without it TOLVANE_HUBS decides, and bench when that is unset")
        ->type_name("bench|system")
        ->check(CLI::IsMember({"bench", "system"}));
    IdentityWords words;
    AddCommands(app, options, words);
    AddLoopCommand(app, options, words);
    AddReportCommand(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        options.command = CliCommand::Help;
        options.helpText = app.help();
        return true;
    } catch (const CLI::CallForVersion&) {
        options.showVersion = true;
        return true;
    } catch (const CLI::ParseError& failure) {
        error = UnknownOptionError(app, argc, argv);
        if (error.empty())
            error = UnknownCommandError(app, argc, argv);
        if (error.empty())
            error = OneLine(failure.what());
        if (error.empty())
            error = "the command line is not understood";
        return false;
    }
    TakeIdentity(app, words, options);
    error = SharedRulesError(app, options);
    if (!error.empty())
        return false;
#ifdef _WIN32
    // Windows programs drive the maker's library, which knows only its hubs.
    if (options.hubs == "system") {
        error = "--hubs system is not available on Windows";
        return false;
    }
#endif
    return true;
}
