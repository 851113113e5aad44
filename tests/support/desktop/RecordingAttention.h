#pragma once

#include "platform/desktop/Attention.h"

#include <QString>
#include <QStringList>

namespace dravelo::test {

// Records each attention call as one line: "request critical",
// "request informational", "cancel N", "activate".
class RecordingAttention final : public Attention {
public:
    int requestUserAttention(Request request) override;
    void cancelUserAttentionRequest(int requestNumber) override;
    void activateIgnoringOtherApps(bool flag) override;

    QStringList calls;
};

} // namespace dravelo::test
