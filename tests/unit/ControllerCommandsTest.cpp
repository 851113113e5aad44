#include "support/ControllerHarness.h"
#include "support/LogRecorder.h"
#include "support/desktop/FakeDocument.h"

#include "platform/desktop/Window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QPointer>

#include <algorithm>
#include <memory>
#include <vector>

using dravelo::Window;
using dravelo::test::ControllerHarness;
using dravelo::test::FakeDocument;

namespace {

// Builds a made-up window list; every window is destroyed with the test,
// the Preferences windows the controller opened included.
class ControllerCommands : public ::testing::Test {
protected:
    ~ControllerCommands() override {
        for (Window* window : Window::all()) {
            if (!isOurs(window)) {
                window->close();
            }
        }
        // The windows go first, then their controllers.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    Window* addWindow(const QString& title, QSize contentSize = {500, 400},
                      Window::Kind kind = Window::Kind::Regular) {
        windows.push_back(std::make_unique<Window>(kind));
        Window* window = windows.back().get();
        window->setWindowTitle(title);
        window->setContentSize(contentSize);
        return window;
    }
    Window* addHiddenJobWindow() { return addWindow(QStringLiteral("job.ppf"), {0, 0}); }

    bool isOurs(const Window* window) const {
        return std::any_of(windows.begin(), windows.end(),
                           [window](const auto& ours) { return ours.get() == window; });
    }
    // The Preferences windows the controller opened, shown in front.
    int preferencesWindowsOpened() const {
        const QList<Window*> all = Window::all();
        return int(std::count_if(all.begin(), all.end(), [this](const Window* window) {
            return !isOurs(window) && window->windowTitle() == QStringLiteral("Preferences") &&
                   window->isVisible();
        }));
    }

    ControllerHarness h;
    std::vector<std::unique_ptr<Window>> windows;
};

TEST_F(ControllerCommands, ReopenWithoutWindowsOpensThePreferences) {
    EXPECT_TRUE(h.controller().applicationShouldHandleReopen(false));
    EXPECT_EQ(preferencesWindowsOpened(), 1);
}

TEST_F(ControllerCommands, ReopenWithOnlyHiddenJobWindowsAndPanelsOpensThePreferences) {
    addHiddenJobWindow();
    addWindow(QStringLiteral("Print"), {300, 200}, Window::Kind::Panel);
    addHiddenJobWindow();
    EXPECT_TRUE(h.controller().applicationShouldHandleReopen(true));
    EXPECT_EQ(preferencesWindowsOpened(), 1);
}

TEST_F(ControllerCommands, ReopenWithARegularWindowLeavesEverythingAsItIs) {
    addHiddenJobWindow();
    addWindow(QStringLiteral("job.ppf"));
    Window* preferences = addWindow(QStringLiteral("Preferences"));
    EXPECT_TRUE(h.controller().applicationShouldHandleReopen(true));
    EXPECT_EQ(preferencesWindowsOpened(), 0);
    EXPECT_FALSE(preferences->isVisible());
}

TEST_F(ControllerCommands, ReopenBringsTheLastOpenPreferencesWindowForward) {
    Window* first = addWindow(QStringLiteral("Preferences"));
    addHiddenJobWindow();
    Window* last = addWindow(QStringLiteral("Preferences"));
    EXPECT_TRUE(h.controller().applicationShouldHandleReopen(false));
    EXPECT_EQ(preferencesWindowsOpened(), 0);
    EXPECT_TRUE(last->isVisible());
    EXPECT_FALSE(first->isVisible());
}

TEST_F(ControllerCommands, AWindowOfZeroWidthOnlyStillCountsAsRegular) {
    addWindow(QStringLiteral("job.ppf"), {0, 300});
    h.controller().applicationShouldHandleReopen(false);
    EXPECT_EQ(preferencesWindowsOpened(), 0);
}

TEST_F(ControllerCommands, ShowPreferencesReusesTheFirstOpenPreferencesWindow) {
    addWindow(QStringLiteral("job.ppf"));
    Window* first = addWindow(QStringLiteral("Preferences"));
    Window* second = addWindow(QStringLiteral("Preferences"));
    h.controller().showPreferences();
    EXPECT_EQ(preferencesWindowsOpened(), 0);
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(second->isVisible());
}

TEST_F(ControllerCommands, ShowPreferencesOpensOneWhenNoneIsOpen) {
    h.controller().showPreferences();
    addWindow(QStringLiteral("job.ppf"));
    EXPECT_EQ(preferencesWindowsOpened(), 1);
}

TEST_F(ControllerCommands, ConnectWithoutStoredCredentialsOpensAnotherPreferencesWindow) {
    addWindow(QStringLiteral("Preferences"));
    h.controller().connect();
    h.controller().connect();
    EXPECT_EQ(preferencesWindowsOpened(), 2);
}

TEST_F(ControllerCommands, APreferencesWindowIsGoneOnceClosed) {
    h.controller().showPreferences();
    ASSERT_EQ(preferencesWindowsOpened(), 1);
    QPointer<Window> window = Window::all().last();
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    h.controller().showPreferences();
    EXPECT_EQ(preferencesWindowsOpened(), 1);
}

TEST_F(ControllerCommands, CloseAllClosesEveryOpenDocument) {
    int closings = 0;
    h.documents.registerDocumentType(QStringLiteral("ppf"), [&closings](const QString& path) {
        return std::make_unique<FakeDocument>(path, &closings);
    });
    for (const QString& name : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}) {
        h.writeJob(h.home(), name);
        ASSERT_NE(h.documents.openDocument(h.home() + '/' + name + QStringLiteral(".ppf"), false),
                  nullptr);
    }
    h.controller().closeAll();
    EXPECT_EQ(closings, 3);
    EXPECT_TRUE(h.documents.documents().isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ControllerCommands, TheUserGuideOpensWhereTheClientIsInstalled) {
    dravelo::test::LogRecorder log;
    h.controller().showHelpPDF();
    EXPECT_TRUE(h.workspace.openedFiles().isEmpty());
    EXPECT_EQ(log.lines().size(), 1);

    const QString guide = h.root_.filePath(QStringLiteral("User Guide.pdf"));
    QFile file(guide);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    h.controller().showHelpPDF();
    EXPECT_EQ(h.workspace.openedFiles(), QStringList{guide});
}

} // namespace
