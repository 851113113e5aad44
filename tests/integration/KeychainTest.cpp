// The credential store against real keyring services. Each suite belongs to
// one scenario of keyring/run-scenario.sh, which starts the services on a
// private bus under a private HOME; run outside it, the suites skip, so a
// developer's own keyring is never touched.

// libsecret's headers (through Keychain's sources) come before Qt headers.
#include "platform/keyring/Keychain.h"
#include "base/DVCKeyring.h"
#include "platform/core/Log.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <chrono>

using dravelo::DVCKeyring;
using dravelo::Keychain;
using dravelo::KeychainResult;
using dravelo::KeychainStatus;

namespace {

const QString serviceName = QStringLiteral("Dravelo Client Credentials");
const QString added = QStringLiteral("Added credentials to keychain");

class KeyringTest : public ::testing::Test {
protected:
    void SetUp() override {
        dravelo::Log::setSink([this](const QString& line) { lines << line; });
    }
    void TearDown() override { dravelo::Log::setSink({}); }

    void requireScenario(const char* scenario) {
        if (qgetenv("DRAVELO_KEYRING_SCENARIO") != scenario) {
            GTEST_SKIP() << "runs only through keyring/run-scenario.sh " << scenario;
        }
    }

    // Every operation of the keychain ends with the same status and a text.
    static void expectEveryOperation(const Keychain& keychain, KeychainStatus status) {
        for (const KeychainResult& result :
             {keychain.exists(), keychain.read(),
              keychain.store(QStringLiteral("alice"), QByteArrayLiteral("secret")),
              keychain.remove()}) {
            EXPECT_EQ(result.status(), status);
            EXPECT_FALSE(result.message().isEmpty());
        }
    }

    // The credential store fails throughout, logging the keychain's text.
    void expectCredentialStoreFails(const QString& message) {
        lines.clear();
        EXPECT_FALSE(DVCKeyring::keyExists());
        EXPECT_FALSE(DVCKeyring::getKey().has_value());
        EXPECT_FALSE(DVCKeyring::addKey(QStringLiteral("alice"), QStringLiteral("secret")));
        EXPECT_FALSE(DVCKeyring::deleteKey());
        EXPECT_EQ(lines, (QStringList{message, message}));
    }

    QStringList lines;
};

struct ToolOutput {
    QByteArray out;
    QByteArray err;
};

// secret-tool reads the keyring independently of the code under test.
ToolOutput secretTool(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), arguments);
    tool.write(input);
    tool.closeWriteChannel();
    EXPECT_TRUE(tool.waitForFinished(10000));
    return {tool.readAllStandardOutput(), tool.readAllStandardError()};
}

// The items of the service and their accounts: secret-tool lists each item
// on stdout and its attributes on stderr.
struct Listing {
    int items = 0;
    QStringList accounts;
};

Listing storedItems() {
    const ToolOutput output = secretTool({QStringLiteral("search"), QStringLiteral("--all"),
                                          QStringLiteral("service"), serviceName});
    Listing listing;
    for (const QByteArray& line : output.out.split('\n')) {
        listing.items += line.startsWith('[') ? 1 : 0;
    }
    for (const QByteArray& line : output.err.split('\n')) {
        if (line.startsWith("attribute.account = ")) {
            listing.accounts << QString::fromUtf8(line.mid(20));
        }
    }
    return listing;
}

QByteArray storedSecret() {
    return secretTool({QStringLiteral("lookup"), QStringLiteral("service"), serviceName}).out;
}

void storeWithSecretTool(const QStringList& attributes, const QByteArray& secret) {
    secretTool(QStringList{QStringLiteral("store"), QStringLiteral("--label=other program"),
                           QStringLiteral("service"), serviceName} +
                   attributes,
               secret);
}

class UnlockedKeyring : public KeyringTest {
protected:
    void SetUp() override {
        KeyringTest::SetUp();
        requireScenario("unlocked");
        DVCKeyring::deleteKey();
        lines.clear();
    }
};

TEST_F(UnlockedKeyring, SavingCreatesTheItemThenChangesItInPlace) {
    EXPECT_FALSE(DVCKeyring::keyExists());
    EXPECT_TRUE(DVCKeyring::addKey(QStringLiteral("alice"), QStringLiteral("first")));
    EXPECT_TRUE(DVCKeyring::keyExists());
    EXPECT_EQ(storedItems().accounts, QStringList{QStringLiteral("alice")});

    EXPECT_TRUE(DVCKeyring::addKey(QStringLiteral("carol"), QStringLiteral("second")));
    const Listing listing = storedItems();
    EXPECT_EQ(listing.items, 1);
    EXPECT_EQ(listing.accounts, QStringList{QStringLiteral("carol")});
    EXPECT_EQ(storedSecret(), QByteArrayLiteral("second"));
    const auto item = DVCKeyring::getKey();
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(item->accountText(), QStringLiteral("carol"));
    EXPECT_EQ(item->passwordText(), QStringLiteral("second"));
    EXPECT_EQ(lines, (QStringList{added, added}));
}

TEST_F(UnlockedKeyring, NonAsciiCredentialsAreStoredAsUtf8) {
    const QString account = QString::fromUtf8("jürgen");
    const QString password = QString::fromUtf8("pässwörd €✓ 日本 \xF0\x9F\x94\x91");
    EXPECT_TRUE(DVCKeyring::addKey(account, password));
    EXPECT_EQ(storedSecret(), password.toUtf8());
    const auto item = DVCKeyring::getKey();
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(item->account(), account);
    EXPECT_EQ(item->password(), password.toUtf8());
    EXPECT_EQ(item->passwordText(), password);
}

TEST_F(UnlockedKeyring, EmptyPasswordIsStoredAsEmptyData) {
    EXPECT_TRUE(DVCKeyring::addKey(QStringLiteral("dave"), QString()));
    const auto item = DVCKeyring::getKey();
    ASSERT_TRUE(item.has_value());
    ASSERT_TRUE(item->password().has_value());
    EXPECT_TRUE(item->password()->isEmpty());
    EXPECT_EQ(item->passwordText(), QString());
    EXPECT_EQ(item->accountText(), QStringLiteral("dave"));
}

TEST_F(UnlockedKeyring, DeletingRemovesTheItemAndFailsWhenThereIsNone) {
    ASSERT_TRUE(DVCKeyring::addKey(QStringLiteral("alice"), QStringLiteral("secret")));
    lines.clear();
    EXPECT_TRUE(DVCKeyring::deleteKey());
    EXPECT_FALSE(DVCKeyring::keyExists());
    EXPECT_FALSE(DVCKeyring::getKey().has_value());
    EXPECT_EQ(storedItems().items, 0);

    EXPECT_FALSE(DVCKeyring::deleteKey());
    EXPECT_FALSE(DVCKeyring::keyExists());
    EXPECT_EQ(lines, (QStringList{QStringLiteral("Deleted key"),
                                  QStringLiteral("The specified item could not be found in "
                                                 "the keychain.")}));
}

TEST_F(UnlockedKeyring, ItemsMadeByOtherProgramsAreFoundByServiceAlone) {
    storeWithSecretTool({}, QByteArrayLiteral("no account"));
    const auto item = DVCKeyring::getKey();
    ASSERT_TRUE(item.has_value());
    EXPECT_FALSE(item->account().has_value());
    EXPECT_EQ(item->accountText(), QString());
    EXPECT_EQ(item->passwordText(), QStringLiteral("no account"));

    EXPECT_TRUE(DVCKeyring::addKey(QStringLiteral("erin"), QStringLiteral("mine")));
    EXPECT_EQ(storedItems().items, 1);
    EXPECT_EQ(storedItems().accounts, QStringList{QStringLiteral("erin")});

    storeWithSecretTool({QStringLiteral("account"), QStringLiteral("frank")},
                        QByteArrayLiteral("another"));
    EXPECT_EQ(storedItems().items, 2);
    EXPECT_TRUE(DVCKeyring::deleteKey());
    EXPECT_EQ(storedItems().items, 0);
}

// The login keyring holds an item but is locked, and nothing can prompt the
// user to unlock it.
class LockedKeyring : public KeyringTest {
protected:
    void SetUp() override {
        KeyringTest::SetUp();
        requireScenario("locked");
    }
};

TEST_F(LockedKeyring, TheItemIsSeenButNotRead) {
    EXPECT_TRUE(DVCKeyring::keyExists());
    EXPECT_FALSE(DVCKeyring::getKey().has_value());
    const KeychainResult read = Keychain(serviceName).read();
    EXPECT_EQ(read.status(), KeychainStatus::Locked);
    EXPECT_EQ(read.message(), KeychainResult::locked().message());
    EXPECT_TRUE(lines.isEmpty());
}

TEST_F(LockedKeyring, SavingAndDeletingFailWithTheLockedText) {
    EXPECT_FALSE(DVCKeyring::addKey(QStringLiteral("alice"), QStringLiteral("secret")));
    EXPECT_FALSE(DVCKeyring::deleteKey());
    EXPECT_TRUE(DVCKeyring::keyExists());
    const QString text = KeychainResult::locked().message();
    EXPECT_EQ(lines, (QStringList{text, text}));
}

class NoSecretService : public KeyringTest {
protected:
    void SetUp() override {
        KeyringTest::SetUp();
        requireScenario("no_service");
    }
};

TEST_F(NoSecretService, EveryOperationSaysThereIsNoService) {
    expectEveryOperation(Keychain(serviceName), KeychainStatus::NoService);
    expectCredentialStoreFails(KeychainResult::noService().message());
}

class NoSessionBus : public KeyringTest {
protected:
    void SetUp() override {
        KeyringTest::SetUp();
        requireScenario("no_bus");
    }
};

TEST_F(NoSessionBus, EveryOperationSaysThereIsNoBus) {
    expectEveryOperation(Keychain(serviceName), KeychainStatus::NoSessionBus);
    const KeychainResult result = Keychain(serviceName).exists();
    EXPECT_TRUE(result.message().startsWith(QStringLiteral("No D-Bus session bus")));
    expectCredentialStoreFails(result.message());
}

// org.freedesktop.secrets is owned by a process that never answers.
class HungSecretService : public KeyringTest {
protected:
    void SetUp() override {
        KeyringTest::SetUp();
        requireScenario("hung_service");
    }
};

TEST_F(HungSecretService, TheWaitEndsAtTheLimit) {
    expectEveryOperation(Keychain(serviceName, std::chrono::seconds(1)), KeychainStatus::TimedOut);
}

TEST_F(HungSecretService, TheCredentialStoreReportsTheTimeout) {
    EXPECT_FALSE(DVCKeyring::addKey(QStringLiteral("alice"), QStringLiteral("secret")));
    EXPECT_FALSE(DVCKeyring::getKey().has_value());
    EXPECT_EQ(lines, QStringList{KeychainResult::timedOut().message()});
}

} // namespace
