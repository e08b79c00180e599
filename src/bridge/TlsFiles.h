#pragma once

// The TLS files of the bridge checked once, at start: a fault in them cannot heal, so the bridge
// ends with a message rather than trying the broker forever.

#include "bridge/MqttClient.h"

// Raises std::runtime_error naming the file when the CA file holds no certificate, the client's
// certificate file holds none, its key cannot be read without a password (encrypted, or no key),
// or the key does not belong to the certificate.
void CheckTlsFiles(const TMqttTls &Tls);
