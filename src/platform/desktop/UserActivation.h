#pragma once

class QWidget;

namespace dravelo {

// Whether the client may take the keyboard focus from the program the user
// is working in. It may while it is the active program, and while it carries
// out a command the user gave it from outside its windows (the tray menu, a
// second start). A window the client shows by itself at any other time comes
// up without the focus, so the user's typing goes on where it was.
class UserActivation {
public:
    // Marks a command the user gave for as long as the object lives. UI
    // thread only.
    UserActivation();
    ~UserActivation();
    UserActivation(const UserActivation&) = delete;
    UserActivation& operator=(const UserActivation&) = delete;

    static bool mayTakeFocus();

    // Shows a top-level window: in front of the client's own windows with the
    // focus when the client may take it, otherwise without the focus.
    static void present(QWidget& window);
    // Shows a window that waits for an answer (a prompt, a panel) the same
    // way; one that comes up without the focus asks for the user's attention
    // until the user turns to it.
    static void presentPrompt(QWidget& window);

private:
    static int depth_;
};

} // namespace dravelo
