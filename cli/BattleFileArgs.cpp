#include "cli/BattleFileArgs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "model/BattleFile.h"

namespace {

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

std::string SaveBattleFile(const std::string& path, const TBattleSetupRec& setup)
{
    const std::string text = BattleFileText(setup);
    const std::string temp = path + ".tmp-" + std::to_string(::getpid());
    // Created with the usual permissions (less the umask), as a plain write would.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return Errno("cannot create the file");
    std::string error = WriteAllTo(fd, text);
    if (error.empty() && ::fsync(fd) != 0) error = Errno("cannot write the file");
    if (::close(fd) != 0 && error.empty()) error = Errno("cannot write the file");
    if (error.empty() && std::rename(temp.c_str(), path.c_str()) != 0) error = Errno("cannot replace the file");
    if (!error.empty()) ::unlink(temp.c_str());
    return error;
}
