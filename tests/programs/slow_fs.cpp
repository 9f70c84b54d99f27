// A network share as the launcher meets it, made from a local folder: a FUSE view of SOURCE
// at MOUNTPOINT that waits a fixed time in every call it answers, and that can stop
// answering altogether, as a share whose server went away does.
//
//   slow_fs SOURCE MOUNTPOINT [DELAY_US]
//
// Runs in the foreground until unmounted or sent SIGTERM (SIGKILL leaves the mount point
// answering "not connected" until `umount -l`). SIGUSR1 makes every call wait
// (the ones under way and the ones to come) until SIGUSR2 lets them go; with SLOW_FS_STATE
// set, the file it names says which holds once it does. Nothing is cached
// by the kernel (no attribute, entry or page cache), so every lookup, stat and readdir of
// a client reaches the delay, as it would reach a share's server. Writes go to SOURCE
// directly; the view shows them at once.
#define FUSE_USE_VERSION 35
#include <fuse3/fuse.h>
#include <fuse3/fuse_lowlevel.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

int g_source = -1;  // the mirrored folder, held open
long g_delayUs = 1000;
std::atomic<bool> g_hung{false};
std::atomic<bool> g_ending{false};
const char* g_stateFile = nullptr;  // SLOW_FS_STATE: where a change of state is told

// Every answer passes here: first the hang, then the share's delay. SIGTERM (the session's
// end) lets hung calls go, so that the view can unmount.
void answerSlowly() {
    fuse_session* session = fuse_get_session(fuse_get_context()->fuse);
    while (g_hung.load() && !g_ending.load() && !fuse_session_exited(session))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (g_delayUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(g_delayUs));
}

// FUSE paths begin with "/"; the mirror is addressed relative to its folder.
std::string relative(const char* path) {
    const char* p = path;
    while (*p == '/')
        ++p;
    return *p ? std::string(p) : std::string(".");
}

void* shareInit(fuse_conn_info*, fuse_config* cfg) {
    cfg->entry_timeout = 0;
    cfg->attr_timeout = 0;
    cfg->negative_timeout = 0;
    cfg->direct_io = 1;
    cfg->kernel_cache = 0;
    return nullptr;
}

int shareGetattr(const char* path, struct stat* st, fuse_file_info*) {
    answerSlowly();
    return fstatat(g_source, relative(path).c_str(), st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : -errno;
}

int shareReadlink(const char* path, char* buf, size_t size) {
    answerSlowly();
    const ssize_t n = ::readlinkat(g_source, relative(path).c_str(), buf, size - 1);
    if (n < 0) return -errno;
    buf[n] = '\0';
    return 0;
}

int shareReaddir(const char* path, void* buf, fuse_fill_dir_t fill, off_t, fuse_file_info*,
                 fuse_readdir_flags) {
    answerSlowly();
    const int fd = openat(g_source, relative(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -errno;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        const int e = errno;
        ::close(fd);
        return -e;
    }
    // The entries' kinds go with their names, as a share's listing gives them.
    while (const dirent* e = ::readdir(dir)) {
        struct stat st {};
        st.st_ino = e->d_ino;
        st.st_mode = static_cast<mode_t>(DTTOIF(e->d_type));
        if (fill(buf, e->d_name, &st, 0, static_cast<fuse_fill_dir_flags>(0)) != 0) break;
    }
    closedir(dir);
    return 0;
}

int shareOpen(const char* path, fuse_file_info* fi) {
    answerSlowly();
    const int fd = openat(g_source, relative(path).c_str(), fi->flags & ~O_NOFOLLOW);
    if (fd < 0) return -errno;
    fi->fh = static_cast<uint64_t>(fd);
    return 0;
}

int shareCreate(const char* path, mode_t mode, fuse_file_info* fi) {
    answerSlowly();
    const int fd = openat(g_source, relative(path).c_str(), fi->flags | O_CREAT, mode);
    if (fd < 0) return -errno;
    fi->fh = static_cast<uint64_t>(fd);
    return 0;
}

int shareRead(const char*, char* buf, size_t size, off_t offset, fuse_file_info* fi) {
    answerSlowly();
    const ssize_t n = ::pread(static_cast<int>(fi->fh), buf, size, offset);
    return n < 0 ? -errno : static_cast<int>(n);
}

int shareWrite(const char*, const char* buf, size_t size, off_t offset, fuse_file_info* fi) {
    answerSlowly();
    const ssize_t n = ::pwrite(static_cast<int>(fi->fh), buf, size, offset);
    return n < 0 ? -errno : static_cast<int>(n);
}

int shareRelease(const char*, fuse_file_info* fi) {
    ::close(static_cast<int>(fi->fh));
    return 0;
}

int shareUnlink(const char* path) {
    answerSlowly();
    return unlinkat(g_source, relative(path).c_str(), 0) == 0 ? 0 : -errno;
}

int shareRename(const char* from, const char* to, unsigned int flags) {
    answerSlowly();
    return renameat2(g_source, relative(from).c_str(), g_source, relative(to).c_str(), flags) == 0
               ? 0
               : -errno;
}

int shareStatfs(const char*, struct statvfs* st) {
    answerSlowly();
    return fstatvfs(g_source, st) == 0 ? 0 : -errno;
}

// Writes the state now in force ('h' hung, 'a' answering) to SLOW_FS_STATE's file: a
// signal arrives whenever this process next runs, so the test waits for this instead.
// Only calls safe in a signal handler.
void tellState(char state) {
    if (!g_stateFile) return;
    const int saved = errno;
    const int fd = ::open(g_stateFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(fd, &state, 1);
        ::close(fd);
    }
    errno = saved;
}
void hang(int) {
    g_hung.store(true);
    tellState('h');
}
void letGo(int) {
    g_hung.store(false);
    tellState('a');
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fputs("usage: slow_fs SOURCE MOUNTPOINT [DELAY_US]\n", stderr);
        return 2;
    }
    g_source = ::open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g_source < 0) {
        std::perror(argv[1]);
        return 1;
    }
    if (argc == 4) g_delayUs = std::strtol(argv[3], nullptr, 10);
    g_stateFile = std::getenv("SLOW_FS_STATE");
    struct sigaction sa {};
    sa.sa_handler = hang;
    sigaction(SIGUSR1, &sa, nullptr);
    sa.sa_handler = letGo;
    sigaction(SIGUSR2, &sa, nullptr);

    fuse_operations ops{};
    ops.init = shareInit;
    ops.getattr = shareGetattr;
    ops.readlink = shareReadlink;
    ops.readdir = shareReaddir;
    ops.open = shareOpen;
    ops.create = shareCreate;
    ops.read = shareRead;
    ops.write = shareWrite;
    ops.release = shareRelease;
    ops.unlink = shareUnlink;
    ops.rename = shareRename;
    ops.statfs = shareStatfs;
    // Foreground, one process; several threads answer, as a server takes several requests.
    char program[] = "slow_fs";
    char foreground[] = "-f";
    char* fuseArgs[] = {program, foreground, argv[2], nullptr};
    const int result = fuse_main(3, fuseArgs, &ops, nullptr);
    g_ending.store(true);
    return result;
}
