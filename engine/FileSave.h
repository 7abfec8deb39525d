#pragma once
// How a save meets the file system. A save replaces the file it is given
// only when that leaves the user's file as it was in every way but its
// content:
//  - a symbolic link is followed to the file it names, which is replaced;
//    the link stays a link;
//  - the new file gets the old one's mode, owner and group;
//  - a file this user may not write (no write permission, no write bits at
//    all for root, an immutable file, a read-only file system), a file with
//    other hard links (replacing it would split them) and a file whose owner
//    or group this process cannot give the new file are refused before
//    anything is written;
//  - the new file is written unnamed (O_TMPFILE) and named only to be
//    renamed over the target, so a save killed half-way leaves no temporary
//    file behind; on a file system without unnamed files a named temporary
//    file is used and removed on every failure.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace dxf {

// The file a save to `path` writes: the end of its chain of symbolic links
// (which need not exist yet), else path itself.
std::string saveTargetOf(const std::string& path);

// Why a save to `path` must not go ahead, in words for a message ("the file
// is read-only", "Read-only file system", ...); empty when it may. A path
// that does not exist yet needs a folder this user may write.
std::string whyNotSavable(const std::string& path);

// Collects the bytes of a save and writes them to a file descriptor in large
// pieces. After a failed write it ignores the rest and keeps the error.
class FileWriter {
public:
    explicit FileWriter(int fd);
    void operator()(const char* p, std::size_t n);
    void flush();
    // Rewrites n bytes already written at offset `at` (a header whose fields
    // are known only at the end).
    void patch(std::uint64_t at, const char* p, std::size_t n);
    bool failed() const { return errno_ != 0; }
    int error() const { return errno_; }

private:
    void writeAll(const char* p, std::size_t n);
    int fd_;
    std::string buf_;
    int errno_ = 0;
};

// Saves to `path` (see above): `fill` writes the content into the writer.
// Throws EngineError(kFileError) naming the path and the cause; the file at
// path is then as it was. An exception from `fill` leaves it as it was too
// (no temporary file stays behind) and is passed on.
void saveFileAtomically(const std::string& path, bool sync, const std::function<void(FileWriter&)>& fill);

}  // namespace dxf
