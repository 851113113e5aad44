#pragma once

namespace dravelo {

// The application's requests for the user's attention.
class Attention {
public:
    enum class Request {
        // Lasts until the user activates the client or it is cancelled.
        Critical = 0,
        // A brief request.
        Informational = 10,
    };

    virtual ~Attention() = default;

    // Asks for the user's attention; returns the request's number (0 when no
    // request was made).
    virtual int requestUserAttention(Request request) = 0;
    // Cancels the request with that number; 0 names no request.
    virtual void cancelUserAttentionRequest(int requestNumber) = 0;
    // Brings the client's front window (or open modal dialog) to the front
    // with the keyboard focus, even over other programs.
    virtual void activateIgnoringOtherApps(bool flag) = 0;
};

} // namespace dravelo
