#pragma once

#include <memory>
#include <string>

namespace frosk::sim {

// A stable name for a device's pseudo-terminal (DIR/froskN -> /dev/pts/M), so
// demos and tests can name ports before the simulator has chosen them. It
// disappears with the device, like the node of an unplugged adapter.
class PublishedLink {
 public:
  // Replaces a symlink a previous run left behind, but never any other file.
  static std::unique_ptr<PublishedLink> Create(const std::string& path, const std::string& target, std::string* error);
  // Removes the link if it still points at this device.
  ~PublishedLink();
  PublishedLink(const PublishedLink&) = delete;
  PublishedLink& operator=(const PublishedLink&) = delete;

  const std::string& Path() const { return path_; }

 private:
  PublishedLink(std::string path, std::string target) : path_(std::move(path)), target_(std::move(target)) {}
  std::string path_;
  std::string target_;
};

}  // namespace frosk::sim
