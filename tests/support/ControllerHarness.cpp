#include "support/ControllerHarness.h"

#include "support/TestPdf.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>

namespace dravelo::test {

ControllerHarness::ControllerHarness(Intake intake)
    : homePath_(root_.filePath(QStringLiteral("home"))) {
    QDir().mkpath(homePath_);
    if (intake == Intake::Quiet) {
        setSetting(QStringLiteral("enableDriveMap"), QStringLiteral("no"));
        setSetting(QStringLiteral("enableClipboard"), QStringLiteral("no"));
    }
    defaults_ = std::make_unique<UserDefaults>(settingsFile());
    controller_ = std::make_unique<DVCDraveloController>(
        ControllerContext{*defaults_,
                          tasks,
                          workspace,
                          documents,
                          diskImages,
                          pasteboard,
                          homePath_,
                          root_.filePath(QStringLiteral("User Guide.pdf")),
                          [this](const QString&, const QString& body) {
                              notifications << body;
                              return true;
                          },
                          printSpooler,
                          modalQueue,
                          [this] {
                              auto alert = std::make_unique<ScriptedAlert>();
                              alerts << alert.get();
                              return alert;
                          },
                          nullptr,
                          {},
                          InProcessRenderer::factory(renderers)});
}

// Hand-overs to the UI thread that the controller left behind still reach
// this harness (its notifications), so they run before it goes.
ControllerHarness::~ControllerHarness() {
    controller_.reset();
    QCoreApplication::sendPostedEvents();
}

void ControllerHarness::setSetting(const QString& key, const QString& value) {
    QSettings file(settingsFile(), QSettings::IniFormat);
    file.setValue(key, value);
}

void ControllerHarness::writeJob(const QString& folder, const QString& name) const {
    TestPdf::write(folder + '/' + name + QStringLiteral(".ppf"));
    QFile configuration(folder + '/' + name + QStringLiteral(".pcf"));
    configuration.open(QIODevice::WriteOnly);
    configuration.write("copies=1\n");
}

} // namespace dravelo::test
