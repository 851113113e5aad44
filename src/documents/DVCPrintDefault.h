#pragma once

#include "documents/PasswordPrompt.h"
#include "platform/desktop/Alert.h"
#include "platform/pdf/RendererChannel.h"

#include <QString>

#include <functional>
#include <memory>

namespace dravelo {

class PdfDocument;
class PrintSpooler;

// The protected-job printer: asks for the password of a protected job that
// is to be printed directly, prints it to the default printer without any
// panel, and deletes the job's files. One prompt serves every job.
class DVCPrintDefault {
public:
    using Notifier = std::function<void(const QString& text)>;

    // Builds the prompt. `notifyUser` tells the user of a print that failed;
    // `makeRenderer` connects to the renderer that checks the passwords.
    DVCPrintDefault(const AlertFactory& makeAlert, PrintSpooler& spooler, Notifier notifyUser,
                    RendererFactory makeRenderer);

    // Prompts until the password opens the PDF or the user gives up, prints
    // it or not, then deletes the configuration file and the print data
    // file, in that order. UI thread only; returns when the job is done.
    void printDefault(const QString& configurationPath, const QString& printDataPath);

private:
    void print(const PdfDocument& pdf);
    void tellUser(const QString& printDataPath, const QString& reason);

    // Built once: the field keeps what was typed from one job to the next.
    PasswordPrompt alert;
    PrintSpooler& spooler_;
    Notifier notifyUser_;
    RendererFactory makeRenderer_;
};

} // namespace dravelo
