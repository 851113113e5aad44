#pragma once

#include <QString>
#include <QStringList>

namespace dravelo {

// What the command line asks of the client. The client has no options: it
// answers --help and --version and refuses anything else, so that a typing
// error never starts a client the user did not mean to start.
class CommandLine {
public:
    enum class Request { StartClient, ShowHelp, ShowVersion, Refuse };

    // The arguments after the program's name.
    explicit CommandLine(const QStringList& arguments);

    Request request() const { return request_; }

    // Prints the help, the version or the refusal; returns the exit status.
    int answer(const QString& version, const QString& userGuide) const;

private:
    Request request_ = Request::StartClient;
    QString refused_;
};

} // namespace dravelo
