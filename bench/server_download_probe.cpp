// The client's print server session on its own, for the download benchmark:
// connects to the server named on the command line with fixed credentials,
// takes the jobs the server announces into the home directory given, and
// watches how late a 10 ms timer on the UI thread fires meanwhile. Prints
// one line per event ("connected", "job", "late-max-ms N") on stdout.
//
// Usage: server_download_probe SERVICE_URL HOME_DIR SETTINGS_FILE

#include "base/DVCNotificationCenter.h"
#include "base/JobLock.h"
#include "platform/core/UserDefaults.h"
#include "server/DVCWebsocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <mutex>

using namespace dravelo;

namespace {

constexpr qint64 tickMs = 10;

// How late the UI thread's timer fired, at worst, since the last report.
class LatenessProbe {
public:
    LatenessProbe() {
        clock_.start();
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start(tickMs);
    }
    qint64 takeWorst() {
        const qint64 worst = worst_;
        worst_ = 0;
        return worst;
    }

private:
    void tick() {
        const qint64 now = clock_.elapsed();
        if (last_ >= 0) {
            worst_ = std::max(worst_, now - last_ - tickMs);
        }
        last_ = now;
    }
    QElapsedTimer clock_;
    QTimer timer_;
    qint64 last_ = -1;
    qint64 worst_ = 0;
};

class Reporter : public DVCNotificationCenter {
public:
    explicit Reporter(LatenessProbe& probe)
        : probe_(probe) {}
    void sendNotification(const QString& text) override {
        if (text == QLatin1String("Connected to Server")) {
            probe_.takeWorst();
            std::printf("connected\n");
        } else if (text == QLatin1String("New Print Job Found")) {
            std::printf("job late-max-ms %lld\n", static_cast<long long>(probe_.takeWorst()));
        } else {
            std::printf("notification %s\n", qPrintable(text));
        }
        std::fflush(stdout);
    }

private:
    LatenessProbe& probe_;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SERVICE_URL HOME_DIR SETTINGS_FILE\n", argv[0]);
        return 2;
    }
    QSettings(QString::fromLocal8Bit(argv[3]), QSettings::IniFormat)
        .setValue(QStringLiteral("serviceUrl"), QString::fromLocal8Bit(argv[1]));
    UserDefaults defaults(QString::fromLocal8Bit(argv[3]));
    LatenessProbe probe;
    dravelo::JobLock jobLock;
    auto session = std::make_shared<DVCWebsocket>(DVCWebsocketContext{
        defaults, QString::fromLocal8Bit(argv[2]), {}, {}, [] {
            return DVCKeyringItem(QStringLiteral("alice"), QByteArray("s3cret"));
        }});
    session->setJobLock(jobLock);
    session->setNotificationCenter(std::make_shared<Reporter>(probe));
    session->connect();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&session] { session->stop(); });
    return app.exec();
}
