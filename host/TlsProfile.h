#pragma once
// The TLS the host offers, after the current intermediate profile: TLS 1.3, and TLS 1.2 with
// forward-secret (ECDHE) key exchange and AEAD ciphers only; no renegotiation, no compression.

#include <openssl/ssl.h>

namespace vantrel::host {

// False when the library refuses the profile (it then must not serve).
bool ApplyTlsProfile(SSL_CTX* context);

}  // namespace vantrel::host
