#include "net/resolve.h"

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace {

struct AddressListDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

using AddressList = std::unique_ptr<addrinfo, AddressListDeleter>;

// What the lookup's thread hands to the fetch that waits for it; the thread
// holds it as long as it runs, whether or not the fetch still waits.
struct SharedLookup {
    std::mutex mutex;
    std::condition_variable finished;
    std::optional<std::vector<in_addr>> found;
};

sockaddr_in AddressWith(const in_addr& host, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = static_cast<decltype(address.sin_family)>(AF_INET);
    address.sin_port = htons(port);
    address.sin_addr = host;
    return address;
}

}  // namespace

std::vector<in_addr> LookUpName(const std::string& hostName) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(hostName.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return {};
    }
    const AddressList list(found);
    std::vector<in_addr> addresses;
    for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_addr != nullptr && entry->ai_addrlen >= sizeof(sockaddr_in)) {
            sockaddr_in address{};
            std::memcpy(&address, entry->ai_addr, sizeof address);
            addresses.push_back(address.sin_addr);
        }
    }
    return addresses;
}

ResolveResult ResolveHost(const std::string& hostName, std::uint16_t port,
                          std::chrono::steady_clock::time_point end,
                          std::vector<sockaddr_in>& addresses, const NameLookup& lookUp) {
    addresses.clear();
    // Windows would resolve an empty name to the local machine.
    if (hostName.empty()) {
        return ResolveResult::Unknown;
    }
    // An address written out needs no name service.
    in_addr written{};
    if (inet_pton(AF_INET, hostName.c_str(), &written) == 1) {
        addresses.push_back(AddressWith(written, port));
        return ResolveResult::Found;
    }
    const auto shared = std::make_shared<SharedLookup>();
    std::thread([shared, lookUp, hostName] {
        std::vector<in_addr> found = lookUp(hostName);
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->found = std::move(found);
        shared->finished.notify_one();
    }).detach();
    std::unique_lock<std::mutex> lock(shared->mutex);
    if (!shared->finished.wait_until(lock, end, [&shared] { return shared->found.has_value(); })) {
        return ResolveResult::TimeLimit;
    }
    for (const in_addr& found : *shared->found) {
        addresses.push_back(AddressWith(found, port));
    }
    return addresses.empty() ? ResolveResult::Unknown : ResolveResult::Found;
}
