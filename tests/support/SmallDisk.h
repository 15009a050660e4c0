// A small file system of its own (tmpfs) for tests of a full disk. Mounting needs
// root: without it Mounted() is false and the test skips with a message.
#pragma once

#include <cstddef>
#include <string>

namespace orvo {

class SmallDisk {
  public:
    explicit SmallDisk(std::size_t bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Path() const { return path_; }
    // Takes every free byte with a filler file (leaving about keep bytes free).
    void Fill(std::size_t keep = 0);
    // Gives the room back.
    void Free();

  private:
    std::string path_;
    bool mounted_ = false;
};

#define SKIP_WITHOUT_SMALL_DISK(disk)                                                  \
    if (!(disk).Mounted())                                                             \
    GTEST_SKIP() << "a small tmpfs cannot be mounted here (the test needs root); the " \
                    "full-disk case is not checked"

}  // namespace orvo
