#include "FileReplace.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrell {

namespace {

constexpr int kMaxLinkHops = 40;     // as the kernel's own limit for a path
constexpr int kMaxNameAttempts = 16; // names found taken before a point is given up

// The process's umask, read without changing it; all bits when it cannot be read, so
// that the permissions are then always set explicitly.
unsigned ReadUmask()
{
    unsigned mask = 07777;
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = value;
                break;
            }
        }
        std::fclose(status);
    }
    return mask;
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool Append(char* out, std::size_t& length, std::string_view text)
{
    if (length + text.size() >= PATH_MAX)
        return false;
    std::memcpy(out + length, text.data(), text.size());
    length += text.size();
    out[length] = '\0';
    return true;
}

// Follows path through links to the file a plain open would write, as a path in out,
// and stats it. exists is false when nothing is there yet (a dangling link's end
// included): the file is then created there.
bool ResolveTarget(const std::string& path, char* out, struct stat& info, bool& exists)
{
    std::size_t length = 0;
    if (!Append(out, length, path))
        return false;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        if (::lstat(out, &info) != 0) {
            exists = false;
            return errno == ENOENT;
        }
        if (!S_ISLNK(info.st_mode)) {
            exists = true;
            return true;
        }
        char link[PATH_MAX];
        const ssize_t n = ::readlink(out, link, sizeof link - 1);
        if (n <= 0)
            return false;
        const std::string_view destination(link, static_cast<std::size_t>(n));
        if (destination.front() == '/') {
            length = 0;
        } else {
            // Relative to the link's own folder.
            const char* slash = std::strrchr(out, '/');
            length = slash ? static_cast<std::size_t>(slash - out) + 1 : 0;
        }
        out[length] = '\0';
        if (!Append(out, length, destination))
            return false;
    }
    return false; // a loop of links
}

// For folders that will not rename over an existing name (some network, FAT and FUSE
// ones answer EEXIST): the old file steps aside under a temporary's name first, so that
// a failure can put it back and a killed writer's leftover is cleared at the next start.
// A reader may find no file for that moment, never part of one.
bool ReplaceBySteppingAside(const char* temp, const char* target) noexcept
{
    char aside[PATH_MAX];
    const TemporarySuffix suffix = MakeTemporarySuffix(static_cast<unsigned long>(::getpid()), RandomBits());
    std::size_t length = 0;
    if (!Append(aside, length, target) || !Append(aside, length, {suffix.text, suffix.size}) ||
        std::rename(target, aside) != 0)
        return false;
    if (std::rename(temp, target) == 0) {
        ::unlink(aside);
        return true;
    }
    std::rename(aside, target);
    return false;
}

} // namespace

CFileReplacer::CFileReplacer(std::string_view fileName) : m_target(fileName), m_createMask(ReadUmask())
{
    TakeNewName();
}

void CFileReplacer::TakeNewName() noexcept
{
    m_suffix = MakeTemporarySuffix(static_cast<unsigned long>(::getpid()), RandomBits());
}

bool CFileReplacer::Replace(const char* data, std::size_t size, ReplaceWay* way) noexcept
{
    if (way)
        *way = ReplaceWay::RenamedOver; // the only way here, stepping aside included
    char target[PATH_MAX];
    struct stat info {};
    bool exists = false;
    if (!ResolveTarget(m_target, target, info, exists))
        return false;
    const mode_t mode = exists ? (info.st_mode & 07777) : 0666;

    char temp[PATH_MAX];
    int fd = -1;
    for (int attempt = 0; attempt < kMaxNameAttempts && fd < 0; ++attempt) {
        std::size_t length = 0;
        if (!Append(temp, length, target) || !Append(temp, length, {m_suffix.text, m_suffix.size}))
            return false;
        // Created new or not at all: whatever another user planted under the name (a
        // file, a link, a pipe that would block the open) is never opened.
        fd = ::open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode & 0777);
        if (fd < 0 && errno != EEXIST && errno != EINTR)
            return false;
        if (fd < 0 && errno == EEXIST)
            TakeNewName();
    }
    if (fd < 0)
        return false;
    bool ok = true;
    // The replaced file keeps its permissions; creation only ever removes bits, through
    // the umask, so set them again only where the umask took some away.
    if (exists && (mode & ~(m_createMask & 0777)) != mode)
        ok = ::fchmod(fd, mode) == 0;
    ok = ok && WriteAll(fd, data, size);
    ok = ::close(fd) == 0 && ok; // a full disk can surface only at close
    if (ok && std::rename(temp, target) == 0)
        return true;
    if (ok && errno == EEXIST && exists && S_ISREG(info.st_mode) && ReplaceBySteppingAside(temp, target))
        return true;
    ::unlink(temp);
    return false;
}

bool ReplacedPath(const std::string& fileName, char* out) noexcept
{
    struct stat info {};
    bool exists = false;
    return ResolveTarget(fileName, out, info, exists);
}

namespace {

std::size_t RemoveStaleIn(const char* folderPath, std::string_view fileName)
{
    DIR* folder = ::opendir(folderPath);
    if (!folder)
        return 0;
    const unsigned long self = static_cast<unsigned long>(::getpid());
    std::size_t removed = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const auto owner = TemporaryOwner(entry->d_name, fileName);
        if (!owner || *owner == 0 || *owner == self || *owner > static_cast<unsigned long>(INT_MAX))
            continue;
        struct stat info {};
        if (::fstatat(::dirfd(folder), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
            continue;
        // EPERM means the process runs under another user: not ours to judge.
        if (::kill(static_cast<pid_t>(*owner), 0) == 0 || errno != ESRCH)
            continue;
        removed += ::unlinkat(::dirfd(folder), entry->d_name, 0) == 0 ? 1 : 0;
    }
    ::closedir(folder);
    return removed;
}

} // namespace

std::size_t RemoveStaleTemporaries(std::string_view fileName)
{
    std::size_t removed = RemoveStaleIn(".", fileName);
    // Through a link the temporaries lie beside the file it leads to, named after it.
    char target[PATH_MAX];
    struct stat info {};
    bool exists = false;
    if (!ResolveTarget(std::string(fileName), target, info, exists) || fileName == target)
        return removed;
    char* slash = std::strrchr(target, '/');
    if (!slash)
        return removed + RemoveStaleIn(".", target);
    *slash = '\0';
    return removed + RemoveStaleIn(slash == target ? "/" : target, slash + 1);
}

} // namespace vantrell
