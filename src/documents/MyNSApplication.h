#pragma once

#include "platform/desktop/Application.h"

namespace dravelo {

class UserDefaults;

// The client's application object. Every request for the user's attention
// passes its gate: while notificationPrintJob is "None", none is made.
class MyNSApplication : public Application {
    Q_OBJECT

public:
    MyNSApplication(int& argc, char** argv);

    // The settings the gate reads; until given, every request passes.
    void setDefaults(UserDefaults* defaults) { defaults_ = defaults; }

    int requestUserAttention(Request request) override;

private:
    UserDefaults* defaults_ = nullptr;
};

} // namespace dravelo
