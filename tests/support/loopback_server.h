#pragma once

// A TCP server on a loopback address that serves one connection from a script
// of exact steps, on a thread of its own. Every step is bounded in time, so the
// server always ends by itself, whatever the client does. When the script ends
// the server ends its side of the stream and closes the connection.

#include <chrono>
#include <cstdint>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace test_support {

// The longest one wait of a step lasts (accepting, one receive, one send).
inline constexpr std::chrono::seconds SERVER_STEP_LIMIT{10};

struct ServerStep {
    enum class Kind { ReadRequest, Send, Hold, Reset };
    Kind kind;
    std::string bytes;         // Send: what is sent
    bool oneByteEach = false;  // Send: one byte per call, each sent at once
    bool urgent = false;       // Send: as out-of-band data (MSG_OOB)

    // Reads until an empty line (CR LF CR LF) or the client's close.
    static ServerStep ReadRequest() { return {Kind::ReadRequest, {}}; }
    static ServerStep Send(std::string bytes) { return {Kind::Send, std::move(bytes)}; }
    static ServerStep Drip(std::string bytes) { return {Kind::Send, std::move(bytes), true}; }
    static ServerStep SendUrgent(char byte) { return {Kind::Send, {byte}, true, true}; }
    // Keeps the connection open, reading nothing, until the server is destroyed.
    static ServerStep Hold() { return {Kind::Hold, {}}; }
    // Aborts the connection: the client sees a reset.
    static ServerStep Reset() { return {Kind::Reset, {}}; }
};

struct ServerSocket;

class LoopbackServer {
public:
    // Listens on `address` and `port` (0: an ephemeral port) and serves the
    // first connection with `script`. A Hold step lasts at most `holdLimit`.
    explicit LoopbackServer(std::vector<ServerStep> script,
                            const std::string& address = "127.0.0.1", std::uint16_t port = 0,
                            std::chrono::seconds holdLimit = SERVER_STEP_LIMIT);
    // Ends a Hold step and waits for the script to end.
    ~LoopbackServer();

    // The port listened on; 0 when the server could not start.
    std::uint16_t Port() const { return m_port; }

    // Waits for the script to end; the bytes that ReadRequest received.
    std::string Request();

private:
    void Run(const ServerSocket& listener);

    std::vector<ServerStep> m_script;
    std::chrono::seconds m_holdLimit;
    std::uint16_t m_port = 0;
    std::string m_request;
    std::promise<void> m_release;
    std::future<void> m_released = m_release.get_future();
    std::thread m_thread;
};

// True when the program runs on Wine rather than on Windows. Wine reports a
// connection reset by the peer as an ordinary end of stream.
bool RunningUnderWine();

// A loopback port on which nothing listens, so connecting to it is refused.
std::uint16_t UnusedLoopbackPort();

}  // namespace test_support
