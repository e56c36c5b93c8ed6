// Adds a root certificate to the local machine's Root store, so that the
// system (and WinHTTP with it) trusts the certificates it signed. For the
// end-to-end tests, which run it in their own Wine prefix only.
//
//   trust_root.exe root.der
//
// The file holds one certificate, DER-encoded. Adding the same one again
// replaces it.

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>

#include "platform/text_file.h"

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_USAGE = 1;
constexpr int EXIT_UNREADABLE = 2;
constexpr int EXIT_NO_STORE = 3;
constexpr int EXIT_NOT_ADDED = 4;

constexpr char ROOT_STORE[] = "Root";

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: trust_root CERTIFICATE.der\n", stderr);
        return EXIT_USAGE;
    }
    std::string der;
    if (!platform::ReadBinaryFile(argv[1], der) || der.empty()) {
        std::fprintf(stderr, "trust_root: cannot read %s\n", argv[1]);
        return EXIT_UNREADABLE;
    }
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, ROOT_STORE);
    if (store == nullptr) {
        std::fprintf(stderr, "trust_root: cannot open the Root store (%lu)\n", GetLastError());
        return EXIT_NO_STORE;
    }
    const BOOL added = CertAddEncodedCertificateToStore(
        store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
        static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    const DWORD error = GetLastError();
    CertCloseStore(store, 0);
    if (!added) {
        std::fprintf(stderr, "trust_root: cannot add %s (%lu)\n", argv[1], error);
        return EXIT_NOT_ADDED;
    }
    return EXIT_OK;
}
