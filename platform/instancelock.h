// The lock that keeps a second copy of the game from starting. It is a file lock (flock) on
// "<name>.<uid>.lock" in the runtime directory (XDG_RUNTIME_DIR, else /tmp), so it is
// released by the system when the process ends, however it ends. The environment variable
// SOLVANE_INSTANCE_NAME replaces the name, so parallel tests and runs do not collide.
#pragma once
#include <string>

namespace plat {

class InstanceLock {
  public:
    explicit InstanceLock(std::string name);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when this object now holds the lock (also when it held it already); false when
    // another holder has it or the lock file cannot be made.
    bool Acquire();
    void Release();
    bool Held() const { return fd_ >= 0; }
    // The lock file's path, after the environment override.
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace plat
