#include "recorder_options.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>
#include <vector>

namespace Recorder {

namespace {

// Splits argv into the recorder's options and the ORB's words: the options
// are few and named, every other word belongs to the ORB (whose options
// QCommandLineParser does not know).
void split(int argc, char** argv, QStringList& own, std::vector<std::string>& rest)
{
    own << QString::fromLocal8Bit(argv[0]);
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool valued = word == "--archive" || word == "--buffer";
        if (valued || word.rfind("--archive=", 0) == 0 || word.rfind("--buffer=", 0) == 0 ||
            word == "--help" || word == "-h" || word == "--version") {
            own << QString::fromLocal8Bit(argv[i]);
            if (valued && i + 1 < argc)
                own << QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        rest.push_back(word);
    }
}

} // namespace

std::optional<RecorderOptions> RecorderOptions::parse(int argc, char** argv, std::string& error)
{
    QStringList own;
    std::vector<std::string> rest;
    split(argc, argv, own, rest);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Records every reading, message and link change of a KOV instrument into an archive.\n"
                       "Words after the options go to the ORB; the first is the subscription's criteria."));
    const QCommandLineOption archive(QStringLiteral("archive"),
        QStringLiteral("The archive: postgresql://USER@HOST:PORT/DB (password from PGPASSWORD or ~/.pgpass) "
                       "or sqlite:PATH."),
        QStringLiteral("address"));
    const QCommandLineOption buffer(QStringLiteral("buffer"),
        QStringLiteral("Rows held in memory while the archive is unreachable (default 1000000)."),
        QStringLiteral("rows"), QString::number(defaultBuffer));
    parser.addOption(archive);
    parser.addOption(buffer);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(own)) {
        error = parser.errorText().toStdString();
        return std::nullopt;
    }
    RecorderOptions options;
    if (parser.isSet(help) || parser.isSet(version)) {
        std::fputs(
            (parser.isSet(help) ? parser.helpText() : QStringLiteral("kovrecorder 1.0.0\n")).toLocal8Bit(),
            stdout);
        options.helpShown = true;
        return options;
    }
    if (!parser.isSet(archive)) {
        error = "--archive is missing (postgresql://USER@HOST:PORT/DB or sqlite:PATH)";
        return std::nullopt;
    }
    const auto address = History::ArchiveAddress::parse(parser.value(archive).toStdString(), error);
    if (!address)
        return std::nullopt;
    options.archive = *address;
    bool number = false;
    const qulonglong rows = parser.value(buffer).toULongLong(&number);
    if (!number || rows < 1000) {
        error = "--buffer must be a whole number of rows, at least 1000";
        return std::nullopt;
    }
    options.buffer = rows;

    // The words as the client takes them: each split further at blanks.
    std::vector<char*> words{argv[0]};
    for (std::string& word : rest)
        words.push_back(word.data());
    options.words = CommandWords::fromCommandLine(static_cast<int>(words.size()), words.data());
    return options;
}

} // namespace Recorder
