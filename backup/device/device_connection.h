#pragma once
// What the device data source needs of a connected device. The device-connection library itself is
// not part of this program: an implementation of this interface binds it (tests use a fake one).
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace dunmere {

// The raw connection of a started device service.
class IDeviceService {
 public:
  virtual ~IDeviceService() = default;
  virtual Status Send(std::string_view bytes) = 0;
  // Up to max bytes into buffer; got 0 when the connection has ended.
  virtual Status Receive(char* buffer, std::size_t max, std::size_t& got) = 0;
};

class IDeviceConnection {
 public:
  virtual ~IDeviceConnection() = default;
  // Connects, pairs and starts the secured exchange; non-zero when the device cannot be reached.
  virtual Status Connect() = 0;
  // Whether the unrestricted file service ("com.apple.afc2") could be started.
  virtual bool HasUnrestrictedFileService() = 0;
  // Starts a named service ("com.apple.mobile.file_relay", …) and connects to it.
  virtual Status StartService(const std::string& name, std::unique_ptr<IDeviceService>& service) = 0;
  // Reads a whole device file through the file service.
  virtual Status ReadFile(const std::string& devicePath, std::string& contents) = 0;
  // The names in a device folder, through the file service; a connection that cannot list has none.
  virtual Status ListFolder(const std::string& devicePath, std::vector<std::string>& names) {
    (void)devicePath;
    names.clear();
    return kPathNotFound;
  }
  virtual std::string DeviceName() = 0;
};

}  // namespace dunmere
