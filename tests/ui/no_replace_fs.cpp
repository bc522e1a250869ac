// A folder whose rename will not replace an existing name, as some network and FAT
// folders behave: everything else passes through to a backing folder.
// usage: no_replace_fs BACKING MOUNTPOINT   (stays in the foreground until unmounted)
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
int Result(int r) { return r < 0 ? -errno : 0; }

int GetAttr(const char* path, struct stat* st, fuse_file_info*)
{
    return Result(::fstatat(g_backing, Rel(path), st, AT_SYMLINK_NOFOLLOW));
}

int ReadDir(const char* path, void* buf, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags)
{
    const int fd = ::openat(g_backing, Rel(path), O_RDONLY | O_DIRECTORY);
    DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir)
        return -errno;
    while (const dirent* entry = ::readdir(dir))
        fill(buf, entry->d_name, nullptr, 0, fuse_fill_dir_flags{});
    ::closedir(dir);
    return 0;
}

int Open(const char* path, fuse_file_info* fi)
{
    const int fd = ::openat(g_backing, Rel(path), fi->flags);
    fi->fh = static_cast<uint64_t>(fd);
    return Result(fd);
}

int Create(const char* path, mode_t mode, fuse_file_info* fi)
{
    const int fd = ::openat(g_backing, Rel(path), fi->flags | O_CREAT, mode);
    fi->fh = static_cast<uint64_t>(fd);
    return Result(fd);
}

int Read(const char*, char* buf, size_t size, off_t at, fuse_file_info* fi)
{
    const ssize_t n = ::pread(static_cast<int>(fi->fh), buf, size, at);
    return n < 0 ? -errno : static_cast<int>(n);
}

int Write(const char*, const char* buf, size_t size, off_t at, fuse_file_info* fi)
{
    const ssize_t n = ::pwrite(static_cast<int>(fi->fh), buf, size, at);
    return n < 0 ? -errno : static_cast<int>(n);
}

int Release(const char*, fuse_file_info* fi) { return Result(::close(static_cast<int>(fi->fh))); }
int Unlink(const char* path) { return Result(::unlinkat(g_backing, Rel(path), 0)); }
int MkDir(const char* path, mode_t mode) { return Result(::mkdirat(g_backing, Rel(path), mode)); }
int RmDir(const char* path) { return Result(::unlinkat(g_backing, Rel(path), AT_REMOVEDIR)); }

int Chmod(const char* path, mode_t mode, fuse_file_info* fi)
{
    return Result(fi ? ::fchmod(static_cast<int>(fi->fh), mode) : ::fchmodat(g_backing, Rel(path), mode, 0));
}

int Rename(const char* from, const char* to, unsigned int)
{
    struct stat st {};
    if (::fstatat(g_backing, Rel(to), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return -EEXIST;
    return Result(::renameat(g_backing, Rel(from), g_backing, Rel(to)));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (g_backing = ::open(argv[1], O_RDONLY | O_DIRECTORY)) < 0) {
        std::fprintf(stderr, "usage: no_replace_fs BACKING MOUNTPOINT\n");
        return 2;
    }
    fuse_operations ops {};
    ops.getattr = GetAttr;
    ops.readdir = ReadDir;
    ops.open = Open;
    ops.create = Create;
    ops.read = Read;
    ops.write = Write;
    ops.release = Release;
    ops.unlink = Unlink;
    ops.mkdir = MkDir;
    ops.rmdir = RmDir;
    ops.chmod = Chmod;
    ops.rename = Rename;
    char foreground[] = "-f", single[] = "-s";
    char* args[] = {argv[0], foreground, single, argv[2], nullptr};
    return fuse_main(4, args, &ops, nullptr);
}
