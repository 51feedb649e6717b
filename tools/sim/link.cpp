#include "sim/link.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits.h>
#include <unistd.h>

namespace sim {

namespace {

std::string linkPath, linkTarget;

} // namespace

void removeLink()
{
    if (linkPath.empty())
        return;
    // Only our own link: a newer simulator may have replaced it meanwhile.
    char buf[PATH_MAX];
    ssize_t n = readlink(linkPath.c_str(), buf, sizeof buf - 1);
    if (n >= 0 && std::string(buf, size_t(n)) == linkTarget)
        unlink(linkPath.c_str());
    linkPath.clear();
}

bool makeLink(const std::string &dir, long com, const std::string &target)
{
    std::string path = dir + "/com" + std::to_string(com);
    std::string tmp = path + ".tmp" + std::to_string(getpid());
    unlink(tmp.c_str());
    if (symlink(target.c_str(), tmp.c_str()) != 0 || rename(tmp.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "pwm-device-sim: cannot create link %s: %s\n", path.c_str(),
                     std::strerror(errno));
        unlink(tmp.c_str());
        return false;
    }
    linkPath = path;
    linkTarget = target;
    return true;
}

} // namespace sim
