#include "platform/socket_library.h"

#ifdef _WIN32
#include <winsock2.h>
#endif

namespace platform {

#ifdef _WIN32

namespace {

constexpr WORD WINSOCK_2_2 = MAKEWORD(2, 2);

// The library's registration, released when the process ends.
struct Registration {
    Registration() : started(WSAStartup(WINSOCK_2_2, &data) == 0) {}
    ~Registration() {
        if (started) {
            WSACleanup();
        }
    }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    WSADATA data{};
    bool started;
};

}  // namespace

bool StartSocketLibrary() {
    static const Registration registration;
    return registration.started;
}

#else

bool StartSocketLibrary() {
    return true;
}

#endif

}  // namespace platform
