#pragma once
// A real NTFS volume for integration tests: an image file in a test's folder, made with mkntfs and
// mounted through ntfs-3g (FUSE) for as long as the object lives.

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace tessaly::test {

class NtfsVolume {
public:
    // Why no volume can be made on this machine (no /dev/fuse, no mkntfs or ntfs-3g), or "".
    static std::string unavailableReason();

    // Image and mount point go into folder, which must exist.
    explicit NtfsVolume(const std::string& folder);
    ~NtfsVolume();
    NtfsVolume(const NtfsVolume&) = delete;
    NtfsVolume& operator=(const NtfsVolume&) = delete;

    // Makes a fresh volume of that size. "" on success, otherwise what went wrong.
    std::string format(std::uint64_t bytes);
    // Mounts the image with the ntfs-3g options given (may be empty) and waits until the mount is
    // there. "" on success, otherwise what went wrong (not root, FUSE refused, ...).
    std::string mount(const std::string& options);
    // Unmounts and waits for ntfs-3g to finish writing the image; harmless when not mounted.
    void unmount();

    bool mounted() const { return daemon_ > 0; }
    const std::string& mountPoint() const { return mountPoint_; }
    // mountPoint() + "/" + name
    std::string path(const std::string& name) const { return mountPoint_ + "/" + name; }

private:
    std::string image_;
    std::string mountPoint_;
    std::string log_;
    pid_t daemon_ = -1;
};

}  // namespace tessaly::test
