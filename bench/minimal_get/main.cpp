// A minimal WinHTTP client: one GET of the https URL it is given, its whole
// body read and dropped, with the system's defaults for everything else. Its
// time is the floor of an HTTPS start under Wine: what starting a process
// that uses WinHTTP and fetching one file over TLS cost, with nothing of the
// main program's.
//   minimal_get https://HOST:PORT/PATH
// Exits 0 once a 200 reply's body has been read, 1 on anything else.
#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>

namespace {

struct Handle {
    explicit Handle(HINTERNET h) : handle(h) {}
    ~Handle() {
        if (handle != nullptr) {
            ::WinHttpCloseHandle(handle);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HINTERNET handle;
};

bool Get(const std::wstring& url) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) {
        return false;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    const Handle session(::WinHttpOpen(L"minimal_get", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    const Handle connection(session.handle == nullptr
                                ? nullptr
                                : ::WinHttpConnect(session.handle, host.c_str(), parts.nPort, 0));
    const Handle request(connection.handle == nullptr
                             ? nullptr
                             : ::WinHttpOpenRequest(connection.handle, L"GET", parts.lpszUrlPath,
                                                    nullptr, WINHTTP_NO_REFERER,
                                                    WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                    WINHTTP_FLAG_SECURE));
    if (request.handle == nullptr ||
        !::WinHttpSendRequest(request.handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !::WinHttpReceiveResponse(request.handle, nullptr)) {
        return false;
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::WinHttpQueryHeaders(
            request.handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) ||
        status != HTTP_STATUS_OK) {
        return false;
    }
    std::vector<char> buffer(65536);
    for (;;) {
        DWORD read = 0;
        if (!::WinHttpReadData(request.handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                               &read)) {
            return false;
        }
        if (read == 0) {
            return true;
        }
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        return 1;
    }
    const std::string url = argv[1];
    return Get(std::wstring(url.begin(), url.end())) ? 0 : 1;
}
