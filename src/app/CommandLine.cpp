#include "app/CommandLine.h"

#include "platform/core/Log.h"

#include <cstdio>

namespace dravelo {
namespace {

constexpr int kUsageError = 2;

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

QString helpText(const QString& userGuide) {
    return QStringLiteral(
               "Usage: dravelo [--help | --version]\n"
               "\n"
               "Dravelo Client prints on this computer what you print in a remote desktop\n"
               "session. It runs in the system tray and takes no options; its settings are\n"
               "under Preferences… in the tray menu.\n"
               "\n"
               "  --help     show this help and exit\n"
               "  --version  show the version and exit\n"
               "\n"
               "User guide: %1\n")
        .arg(userGuide);
}

} // namespace

CommandLine::CommandLine(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        // The first of --help and --version answers; both print and exit.
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            if (request_ == Request::StartClient) {
                request_ = Request::ShowHelp;
            }
        } else if (argument == QLatin1String("--version")) {
            if (request_ == Request::StartClient) {
                request_ = Request::ShowVersion;
            }
        } else {
            request_ = Request::Refuse;
            refused_ = argument;
            return;
        }
    }
}

int CommandLine::answer(const QString& version, const QString& userGuide) const {
    switch (request_) {
    case Request::ShowHelp:
        print(stdout, helpText(userGuide));
        return 0;
    case Request::ShowVersion:
        print(stdout, QStringLiteral("dravelo %1\n").arg(version));
        return 0;
    case Request::Refuse:
        log(QStringLiteral("Unknown argument \"%1\": the client takes no options but --help and "
                           "--version.")
                .arg(refused_));
        print(stderr, QStringLiteral("Try 'dravelo --help'.\n"));
        return kUsageError;
    case Request::StartClient:
        break;
    }
    return 0;
}

} // namespace dravelo
