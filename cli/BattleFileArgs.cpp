#include "cli/BattleFileArgs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "model/BattleFile.h"

namespace {

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool WriteAll(int fd, const std::string& text)
{
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string SaveBattleFile(const std::string& path, const TBattleSetupRec& setup)
{
    const std::string text = BattleFileText(setup);
    const std::string temp = path + ".tmp-" + std::to_string(::getpid());
    // Created with the usual permissions (less the umask), as a plain write would.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return Errno("cannot create the file");
    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    std::string error = ok ? std::string() : Errno("cannot write the file");
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = Errno("cannot write the file");
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        error = Errno("cannot replace the file");
    }
    if (!ok) ::unlink(temp.c_str());
    return error;
}
