#include "project/LockFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "common/Errors.h"

namespace {

// Why folder may not hold this user's locks; empty when it may. With
// ownOnly, no one else may even look into it (mode 0700); otherwise no one
// else may write to it.
std::string Refusal(const std::string& folder, bool ownOnly) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISLNK(st.st_mode)) return "it is a symbolic link";
    if (!S_ISDIR(st.st_mode)) return "it is not a folder";
    if (st.st_uid != ::geteuid()) return "it belongs to another user";
    const mode_t others = ownOnly ? 077 : 022;
    if (st.st_mode & others) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return std::string("other users may ") + (ownOnly ? "use" : "write to") + " it (mode " +
               mode + ")";
    }
    return {};
}

// One place a lock folder may be: parent (made when missing when its own
// folder is safe) and the folder below it.
struct Candidate {
    std::string Parent;
    bool ParentOwnOnly;
    std::string Folder;
};

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home == '/') return home;
    const passwd* pw = ::getpwuid(::geteuid());
    return pw && pw->pw_dir ? pw->pw_dir : "";
}

std::vector<Candidate> Candidates() {
    std::vector<Candidate> list;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/')
        list.push_back({runtime, false, std::string(runtime) + "/kavelo-locks"});
    std::error_code ec;
    const std::string temp = std::filesystem::temp_directory_path(ec).string();
    const std::string own =
        (ec ? std::string("/tmp") : temp) + "/kavelo-" + std::to_string(::geteuid());
    list.push_back({own, true, own + "/kavelo-locks"});
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const std::string cacheHome =
        cache && *cache == '/' ? std::string(cache) : HomeFolder() + "/.cache";
    if (cacheHome.size() > 1 && cacheHome[0] == '/')
        list.push_back({cacheHome, false, cacheHome + "/kavelo-locks"});
    return list;
}

} // namespace

std::string SetupLockFolder() {
    std::string refused;
    std::string why;
    for (const Candidate& c : Candidates()) {
        // Made with mode 0700 when missing; a folder found is checked, never
        // changed, as someone else may have made it.
        ::mkdir(c.Parent.c_str(), 0700);
        why = Refusal(c.Parent, c.ParentOwnOnly);
        refused = c.Parent;
        if (!why.empty()) continue;
        ::mkdir(c.Folder.c_str(), 0700);
        why = Refusal(c.Folder, true);
        refused = c.Folder;
        if (why.empty()) return c.Folder;
    }
    throw KaveloError("no safe folder for the lock: " + refused + ": " + why);
}
