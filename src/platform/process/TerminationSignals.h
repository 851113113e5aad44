#pragma once

#include <QObject>

class QSocketNotifier;

namespace dravelo {

// Turns SIGTERM, SIGINT and SIGHUP into an orderly quit of the event loop, so the
// application's termination handling runs. One instance per process.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    void onSignal();

    QSocketNotifier* notifier_ = nullptr;
};

} // namespace dravelo
