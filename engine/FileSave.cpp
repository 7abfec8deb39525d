#include "engine/FileSave.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/EngineError.h"

namespace dxf {

namespace {

constexpr std::size_t kBuffer = 64 << 10;
// Writes this large go straight to the file: the buffer is for small pieces,
// and copying large ones through it would only cost memory.
constexpr std::size_t kDirect = 4 << 10;
constexpr int kMaxLinks = 40;  // as the kernel's limit on a chain of symbolic links

std::string dirOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool inGroups(gid_t gid) {
    if (gid == getegid()) return true;
    const int n = getgroups(0, nullptr);
    if (n <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    const int got = getgroups(n, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<std::size_t>(i)] == gid) return true;
    return false;
}

// The inode flags that forbid replacing a file even to root (chattr +i, +a),
// where the file system keeps them.
std::string attributeRefusal(const std::string& target) {
    const int fd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return {};
    int flags = 0;
    const bool known = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    ::close(fd);
    if (!known) return {};
    if (flags & FS_IMMUTABLE_FL) return "the file is immutable";
    if (flags & FS_APPEND_FL) return "the file is append-only";
    return {};
}

// whyNotSavable for a target whose links are resolved.
std::string refusalFor(const std::string& target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) return std::strerror(errno);
        const std::string dir = dirOf(target);
        if (::access(dir.c_str(), W_OK | X_OK) != 0)
            return "cannot create a file in " + dir + " (" + std::strerror(errno) + ")";
        return {};
    }
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    // access() also answers for the immutable flag and read-only mounts,
    // which hold for root as well.
    if (::access(target.c_str(), W_OK) != 0) {
        if (errno == EACCES) return "the file is read-only for this user (Permission denied)";
        return std::strerror(errno);
    }
    // Root may write anything; a file without any write bit is read-only all
    // the same, as the read-only attribute of the system's platform.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return "the file is read-only (no write permission)";
    if (std::string why = attributeRefusal(target); !why.empty()) return why;
    if (st.st_nlink > 1)
        return "the file has " + std::to_string(st.st_nlink - 1) +
               " other hard link(s); replacing it would separate it from them";
    const std::string dir = dirOf(target);
    if (::access(dir.c_str(), W_OK | X_OK) != 0)
        return "its folder " + dir + " is not writable (" + std::strerror(errno) + ")";
    if (geteuid() != 0) {
        if (st.st_uid != geteuid()) return "the file belongs to another user, who would lose it to this user";
        if (!inGroups(st.st_gid)) return "the file's group is one this user cannot give the saved file";
    }
    return {};
}

// A fresh name for the moment between linking the new file and renaming it.
std::string temporaryName(const std::string& dir, unsigned attempt) {
    const auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    char buf[64];
    std::snprintf(buf, sizeof buf, "/.dxftmp-%x-%llx-%u", static_cast<unsigned>(getpid()), ticks & 0xffffffffffULL,
                  attempt);
    return dir + buf;
}

}  // namespace

std::string saveTargetOf(const std::string& path) {
    std::string p = path;
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        std::vector<char> buf(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(p.c_str(), buf.data(), buf.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return p;
        std::string link(buf.data(), static_cast<std::size_t>(n));
        p = link.front() == '/' ? link : dirOf(p) + "/" + link;
    }
    return p;
}

std::string whyNotSavable(const std::string& path) { return refusalFor(saveTargetOf(path)); }

// The buffer grows as needed up to kBuffer: a small file costs little memory.
FileWriter::FileWriter(int fd) : fd_(fd) {}

void FileWriter::operator()(const char* p, std::size_t n) {
    if (failed()) return;
    if (n >= kDirect) {
        flush();
        writeAll(p, n);
        return;
    }
    if (buf_.size() + n > kBuffer) flush();
    // Grown by doubling, the buffer would end up to twice kBuffer.
    if (buf_.size() + n > buf_.capacity()) buf_.reserve(std::min(kBuffer, std::max(2 * buf_.capacity(), buf_.size() + n)));
    buf_.append(p, n);
}

void FileWriter::flush() {
    if (!buf_.empty()) writeAll(buf_.data(), buf_.size());
    buf_.clear();
}

void FileWriter::patch(std::uint64_t at, const char* p, std::size_t n) {
    flush();
    while (n && !failed()) {
        const ssize_t w = ::pwrite(fd_, p, n, static_cast<off_t>(at));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            errno_ = w < 0 && errno ? errno : EIO;
            return;
        }
        p += w;
        at += static_cast<std::uint64_t>(w);
        n -= static_cast<std::size_t>(w);
    }
}

void FileWriter::writeAll(const char* p, std::size_t n) {
    while (n && !failed()) {
        const ssize_t w = ::write(fd_, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            errno_ = w < 0 && errno ? errno : EIO;
            return;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
}

void saveFileAtomically(const std::string& path, bool sync, const std::function<void(FileWriter&)>& fill) {
    auto fail = [&](const std::string& why) { throw EngineError(err::kFileError, "cannot save " + path + ": " + why); };
    const std::string target = saveTargetOf(path);
    if (std::string why = refusalFor(target); !why.empty()) fail(why);

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    mode_t mode = 0;
    if (exists) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t um = umask(0);
        umask(um);
        mode = 0666 & ~um;
    }
    const std::string dir = dirOf(target);

    // Unnamed until it is complete: nothing is left behind by a kill or a
    // crash. File systems without O_TMPFILE get a named file instead.
    // The unnamed file gets its name through /proc when it is complete.
    std::string named;
    const bool canLink = ::access("/proc/self/fd", X_OK) == 0;
    int fd = canLink ? ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600) : -1;
    if (fd < 0 && (!canLink || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        std::string tmpl = dir + "/.dxftmp-XXXXXX";
        std::vector<char> name(tmpl.begin(), tmpl.end());
        name.push_back('\0');
        fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0) named = name.data();
    }
    if (fd < 0) fail(std::strerror(errno));
    auto failWith = [&](int e) {
        ::close(fd);
        if (!named.empty()) ::unlink(named.c_str());
        fail(std::strerror(e));
    };

    FileWriter writer(fd);
    try {
        fill(writer);
    } catch (...) {
        ::close(fd);
        if (!named.empty()) ::unlink(named.c_str());
        throw;
    }
    writer.flush();
    if (writer.failed()) failWith(writer.error());
    if (exists) {
        struct stat now {};
        if (::fstat(fd, &now) != 0) failWith(errno);
        if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0)
            failWith(errno);
    }
    // After the owner: a change of owner clears the set-id bits.
    if (::fchmod(fd, mode) != 0) failWith(errno);
    if (sync && ::fdatasync(fd) != 0) failWith(errno);

    if (named.empty()) {
        // rename() needs a name; the file has one only for this moment.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        for (unsigned attempt = 0; named.empty(); ++attempt) {
            const std::string candidate = temporaryName(dir, attempt);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                named = candidate;
            } else if (errno != EEXIST || attempt > 100) {
                failWith(errno);
            }
        }
    }
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(named.c_str());
        fail(std::strerror(e));
    }
    if (std::rename(named.c_str(), target.c_str()) != 0) {
        const int e = errno;
        ::unlink(named.c_str());
        fail(std::strerror(e));
    }
    if (sync) {
        // The rename itself on disk too, where the folder can be synced.
        const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
    }
}

}  // namespace dxf
