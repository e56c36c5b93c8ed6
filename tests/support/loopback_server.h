#pragma once

// A TCP server on 127.0.0.1 that serves one connection from a script of exact
// steps, on a thread of its own. Every step is bounded in time, so the server
// always ends by itself even when the client misbehaves.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test_support {

struct ServerStep {
    enum class Kind {
        ReadRequest,   // read until an empty line (CR LF CR LF) or the client closes
        PeekRequest,   // wait for the whole request to arrive but leave it unread
        ShutdownSend,  // end the sending side (the client sees the server close)
        AwaitData,     // wait until the client has sent something, leaving it unread
        Send,          // send `bytes` in as few calls as the system allows
        Drip,          // send `bytes` one byte per call
        Hold,          // keep the connection open, reading nothing, until released
        Reset,         // abort the connection: the client sees a reset (sure to
                       // happen when data is left unread, see PeekRequest)
    };
    Kind kind;
    std::string bytes;

    static ServerStep ReadRequest() { return {Kind::ReadRequest, {}}; }
    static ServerStep PeekRequest() { return {Kind::PeekRequest, {}}; }
    static ServerStep ShutdownSend() { return {Kind::ShutdownSend, {}}; }
    static ServerStep AwaitData() { return {Kind::AwaitData, {}}; }
    static ServerStep Send(std::string bytes) { return {Kind::Send, std::move(bytes)}; }
    static ServerStep Drip(std::string bytes) { return {Kind::Drip, std::move(bytes)}; }
    static ServerStep Hold() { return {Kind::Hold, {}}; }
    static ServerStep Reset() { return {Kind::Reset, {}}; }
};

// The longest any one step waits (accepting, reading, sending, holding).
inline constexpr std::chrono::seconds SERVER_STEP_LIMIT{10};

class LoopbackServer {
public:
    // Starts listening on an ephemeral port of 127.0.0.1 and serves the first
    // connection with `script`; when the script ends the connection is closed
    // in the ordinary way (unless the script reset it).
    explicit LoopbackServer(std::vector<ServerStep> script);
    // The same on a given loopback address and port (the program under test
    // always connects to port 80), with a Hold step that lasts up to
    // `holdLimit`.
    LoopbackServer(std::vector<ServerStep> script, const std::string& address, std::uint16_t port,
                   std::chrono::seconds holdLimit = SERVER_STEP_LIMIT);
    // Releases a Hold and waits for the thread to end.
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // The port listened on; 0 when the server could not start.
    std::uint16_t Port() const { return m_port; }

    // Ends a Hold step.
    void Release();

    // Waits for the script to finish and returns the bytes that ReadRequest
    // steps received.
    std::string Request();

private:
    void Run(std::uintptr_t listener);

    std::vector<ServerStep> m_script;
    std::chrono::seconds m_holdLimit = SERVER_STEP_LIMIT;
    std::uint16_t m_port = 0;
    std::string m_request;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_isReleased = false;
    std::thread m_thread;
};

// True when the program runs on Wine rather than on Windows. Wine reports a
// connection reset by the peer as an ordinary end of stream, so tests of a
// reset cannot tell the difference there.
bool RunningUnderWine();

// A loopback port on which nothing listens, so connecting to it is refused.
std::uint16_t UnusedLoopbackPort();

}  // namespace test_support
