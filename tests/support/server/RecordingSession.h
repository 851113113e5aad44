#pragma once

#include "server/DVCWebsocket.h"

#include <QStringList>

namespace dravelo::test {

// A server session that touches no network: it only writes "connect" and
// "disconnect" into the list it is given, in the order it is asked.
class RecordingSession : public DVCWebsocket {
public:
    RecordingSession(UserDefaults& defaults, QStringList& events);

    void connect() override;
    void disconnect() override;

private:
    QStringList& events_;
};

} // namespace dravelo::test
