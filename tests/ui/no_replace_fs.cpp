// A folder whose rename will not replace an existing name (EEXIST), as some network and
// FAT folders do; all else passes through to BACKING. Runs until unmounted.
// usage: no_replace_fs BACKING MOUNTPOINT
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int g_backing = -1;
const char* Rel(const char* path) { return path[1] ? path + 1 : "."; }
int Result(long r) { return r < 0 ? -errno : static_cast<int>(r); }
int Fd(const fuse_file_info* fi) { return static_cast<int>(fi->fh); }

int Opened(int fd, fuse_file_info* fi)
{
    fi->fh = static_cast<uint64_t>(fd);
    return Result(fd < 0 ? -1 : 0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (g_backing = ::open(argv[1], O_RDONLY | O_DIRECTORY)) < 0)
        return 2;
    fuse_operations ops {};
    ops.getattr = [](const char* p, struct stat* st, fuse_file_info*) {
        return Result(::fstatat(g_backing, Rel(p), st, AT_SYMLINK_NOFOLLOW));
    };
    ops.readdir = [](const char* p, void* buf, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags) {
        DIR* dir = ::fdopendir(::openat(g_backing, Rel(p), O_RDONLY | O_DIRECTORY));
        if (!dir)
            return -errno;
        while (const dirent* entry = ::readdir(dir))
            fill(buf, entry->d_name, nullptr, 0, fuse_fill_dir_flags{});
        return Result(::closedir(dir));
    };
    ops.open = [](const char* p, fuse_file_info* fi) { return Opened(::openat(g_backing, Rel(p), fi->flags), fi); };
    ops.create = [](const char* p, mode_t mode, fuse_file_info* fi) {
        return Opened(::openat(g_backing, Rel(p), fi->flags | O_CREAT, mode), fi);
    };
    ops.read = [](const char*, char* buf, size_t n, off_t at, fuse_file_info* fi) {
        return Result(::pread(Fd(fi), buf, n, at));
    };
    ops.write = [](const char*, const char* buf, size_t n, off_t at, fuse_file_info* fi) {
        return Result(::pwrite(Fd(fi), buf, n, at));
    };
    ops.chmod = [](const char* p, mode_t mode, fuse_file_info*) {
        return Result(::fchmodat(g_backing, Rel(p), mode, 0));
    };
    ops.release = [](const char*, fuse_file_info* fi) { return Result(::close(Fd(fi))); };
    ops.unlink = [](const char* p) { return Result(::unlinkat(g_backing, Rel(p), 0)); };
    ops.rename = [](const char* from, const char* to, unsigned int) {
        struct stat st {};
        if (::fstatat(g_backing, Rel(to), &st, AT_SYMLINK_NOFOLLOW) == 0)
            return -EEXIST;
        return Result(::renameat(g_backing, Rel(from), g_backing, Rel(to)));
    };
    char foreground[] = "-f", single[] = "-s";
    char* args[] = {argv[0], foreground, single, argv[2], nullptr};
    return fuse_main(4, args, &ops, nullptr);
}
