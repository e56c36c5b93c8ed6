#include "net/resolve.h"

#include <cstring>
#include <memory>

namespace {

struct AddressListDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

using AddressList = std::unique_ptr<addrinfo, AddressListDeleter>;

}  // namespace

bool ResolveHost(const std::string& hostName, std::uint16_t port, sockaddr_in& address) {
    address = sockaddr_in{};
    // Windows would resolve an empty name to the local machine.
    if (hostName.empty()) {
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(hostName.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    const AddressList list(found);
    if (list->ai_addr == nullptr || list->ai_addrlen < sizeof(sockaddr_in)) {
        return false;
    }
    sockaddr_in first{};
    std::memcpy(&first, list->ai_addr, sizeof first);
    address.sin_family = static_cast<decltype(address.sin_family)>(AF_INET);
    address.sin_port = htons(port);
    address.sin_addr = first.sin_addr;
    return true;
}
