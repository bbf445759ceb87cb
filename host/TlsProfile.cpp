#include "host/TlsProfile.h"

namespace vantrel::host {

namespace {

// TLS 1.2 suites; TLS 1.3 keeps OpenSSL's own list, which holds AEAD suites only.
constexpr const char* kTls12Ciphers =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:"
    "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-RSA-AES256-GCM-SHA384:"
    "ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305";
constexpr const char* kGroups = "X25519:P-256:P-384";

}  // namespace

bool ApplyTlsProfile(SSL_CTX* context) {
    ::SSL_CTX_set_options(context,
                          SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_TICKET);
    // Clients choose among the suites, all of which are strong: the order of their preference
    // (AES where they have it in hardware, ChaCha20 where not) is theirs.
    ::SSL_CTX_clear_options(context, SSL_OP_CIPHER_SERVER_PREFERENCE);
    return ::SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) == 1 &&
           ::SSL_CTX_set_cipher_list(context, kTls12Ciphers) == 1 &&
           ::SSL_CTX_set1_groups_list(context, kGroups) == 1;
}

}  // namespace vantrel::host
