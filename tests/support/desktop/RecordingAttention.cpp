#include "support/desktop/RecordingAttention.h"

namespace dravelo::test {

int RecordingAttention::requestUserAttention(Request request) {
    calls.append(request == Request::Critical ? QStringLiteral("request critical")
                                              : QStringLiteral("request informational"));
    return static_cast<int>(calls.size());
}

void RecordingAttention::cancelUserAttentionRequest(int requestNumber) {
    calls.append(QStringLiteral("cancel %1").arg(requestNumber));
}

void RecordingAttention::activateIgnoringOtherApps(bool) {
    calls.append(QStringLiteral("activate"));
}

} // namespace dravelo::test
