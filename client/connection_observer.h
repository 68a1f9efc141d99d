// What the feed client tells whoever watches its connection (the service's health status): each
// change of the connection's state with the gateway it concerns, and each block of data received.
// The client does not know who listens; the service installs the observer before it starts the
// client.
#pragma once

#include <cstdint>
#include <string>

namespace fw::client {

enum class ConnectionState { kDisconnected, kConnecting, kConnected };

// Which of the configured gateways a connection goes to.
enum class GatewayRole { kPrimary, kBackup };

struct ConnectionChange {
  ConnectionState state = ConnectionState::kDisconnected;
  std::string address;  // as configured: a dotted IPv4 address or a host name
  uint16_t port = 0;
  GatewayRole gateway = GatewayRole::kPrimary;
};

// Called on the receive thread, and on the thread that stops the client for the disconnect of the
// stop; never after that Stop has returned. Implementations return quickly: the receive thread
// waits for them.
class ConnectionObserver {
 public:
  virtual ~ConnectionObserver() = default;
  // Connecting (a connect attempt begins), connected (the Logon has been sent), disconnected (an
  // attempt failed or a connection was closed).
  virtual void OnConnectionChange(const ConnectionChange& change) = 0;
  // A block of data arrived; once per receive call that returned data.
  virtual void OnDataReceived() = 0;
};

}  // namespace fw::client
