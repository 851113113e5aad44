#include "support/server/RecordingSession.h"

namespace dravelo::test {

RecordingSession::RecordingSession(UserDefaults& defaults, QStringList& events)
    : DVCWebsocket({defaults, QString()})
    , events_(events) {}

void RecordingSession::connect() {
    events_ << QStringLiteral("connect");
}

void RecordingSession::disconnect() {
    events_ << QStringLiteral("disconnect");
}

} // namespace dravelo::test
