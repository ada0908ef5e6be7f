#include "install/LinuxFolders.h"

#include <linux/limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "common/Errors.h"
#include "common/WholeFile.h"
#include "install/DisplayText.h"

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The normalized form of an absolute path: no empty or "." parts, ".."
// taking one part off, no "/" at the end ("/" stays "/").
std::string Normalize(const std::string& absolute) {
    std::vector<std::string> kept;
    for (const std::string& part : PathParts(absolute)) {
        if (part == "..") {
            if (!kept.empty()) kept.pop_back();
        } else {
            kept.push_back(part);
        }
    }
    std::string out;
    for (const std::string& part : kept)
        out += "/" + part;
    return out.empty() ? "/" : out;
}

std::string WithBackslashes(const std::string& folder) {
    std::string out = folder;
    for (char& c : out)
        if (c == '/') c = '\\';
    if (out.empty() || out.back() != '\\') out += '\\';
    return out;
}

// A folder there; as root, only one of root's own (a user's environment,
// as with sudo -E, may name the user's folders).
bool IsFolder(const std::string& path, bool root) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           (!root || st.st_uid == 0);
}

// The lines of a small system or settings file; none when it cannot be read
// (a missing or unreadable file counts as an empty one). Read without
// iostreams: the setup runtime is linked statically, and iostreams would
// bring the C++ library's locales into every setup.
std::vector<std::string> ConfigLines(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    std::string text;
    try {
        text = ReadWholeFile(path, 1 << 20);
    } catch (const KaveloError&) {
        return {};
    }
    std::vector<std::string> lines;
    for (size_t from = 0; from < text.size();) {
        const size_t end = std::min(text.find('\n', from), text.size());
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return lines;
}

// XDG_DESKTOP_DIR="$HOME/Desktop" in the user-dirs file; empty when absent.
std::string UserDirsDesktop(const InstallEnvironment& env) {
    if (!IsFolder(env.ConfigHome, env.Root)) return "";
    const std::string key = "XDG_DESKTOP_DIR=";
    for (const std::string& line : ConfigLines(env.ConfigHome + "/user-dirs.dirs")) {
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = env.Home + value.substr(5);
        return value.rfind('/', 0) == 0 ? value : "";
    }
    return "";
}

// The home folder /etc/passwd gives the user uid ("name:x:uid:gid:gecos:home:
// shell"); "/" when it names none. Read directly: a static program cannot
// use the system's user database modules.
std::string PasswdHome(uid_t uid) {
    const std::string id = std::to_string(uid);
    for (const std::string& line : ConfigLines("/etc/passwd")) {
        std::vector<std::string> fields;
        for (size_t from = 0;;) {
            const size_t colon = line.find(':', from);
            fields.push_back(line.substr(from, colon - from));
            if (colon == std::string::npos) break;
            from = colon + 1;
        }
        if (fields.size() >= 6 && fields[2] == id && fields[5].rfind('/', 0) == 0) return fields[5];
    }
    return "/";
}

} // namespace

std::vector<std::string> PathParts(const std::string& path) {
    std::vector<std::string> parts;
    size_t from = 0;
    while (from <= path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        const std::string part = path.substr(from, slash - from);
        if (!part.empty() && part != ".") parts.push_back(part);
        from = slash + 1;
    }
    return parts;
}

InstallEnvironment CurrentEnvironment() {
    InstallEnvironment env;
    env.Root = ::geteuid() == 0;
    env.Home = Env("HOME");
    if (env.Home.empty() || env.Home[0] != '/') {
        env.Home = PasswdHome(::geteuid());
    }
    env.Home = Normalize(env.Home);
    const std::string data = Env("XDG_DATA_HOME");
    env.DataHome = data.rfind('/', 0) == 0 ? Normalize(data) : env.Home + "/.local/share";
    const std::string config = Env("XDG_CONFIG_HOME");
    env.ConfigHome = config.rfind('/', 0) == 0 ? Normalize(config) : env.Home + "/.config";
    const std::string desktop = Env("XDG_DESKTOP_DIR");
    if (desktop.rfind('/', 0) == 0) env.DesktopDir = Normalize(desktop);
    return env;
}

std::string AbsoluteFolder(const std::string& path) {
    if (path.empty()) throw InvalidRequest("the folder is empty");
    for (unsigned char c : path)
        if (c == '\\' || c < 0x20 || c == 0x7f)
            throw InvalidRequest("a folder name may not hold a backslash or a control character",
                                 path);
    if (path[0] == '/') return Normalize(path);
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) throw IoError(errno, path, "the working folder is unknown");
    return Normalize(std::string(cwd) + "/" + path);
}

std::string ChosenInstallFolder(const std::string& path) {
    std::string folder = AbsoluteFolder(path);
    if (folder == "/") throw InvalidRequest("the root folder / cannot be an installation folder");
    return folder;
}

std::string DefaultInstallFolder(const std::string& subfolder, const InstallEnvironment& env) {
    std::string sub;
    for (const char c : subfolder)
        sub += c == '\\' ? '/' : c;
    const std::vector<std::string> parts = PathParts(sub);
    for (const std::string& part : parts)
        if (part == "..")
            throw InvalidRequest("the setup's installation folder \"" + Shown(subfolder) +
                                 "\" climbs out with \"..\"");
    if (parts.empty()) throw InvalidRequest("the setup names no installation folder");
    std::string folder = env.Root ? "/opt" : env.Home + "/.local/opt";
    for (const std::string& part : parts)
        folder += "/" + part;
    return AbsoluteFolder(folder);
}

std::string DesktopFolder(const InstallEnvironment& env) {
    std::string desktop = env.DesktopDir;
    if (desktop.empty()) desktop = UserDirsDesktop(env);
    if (desktop.empty()) desktop = env.Home + "/Desktop";
    desktop = Normalize(desktop);
    // $HOME itself (what xdg-user-dirs-update writes once ~/Desktop is gone)
    // or a folder above it is no desktop.
    if (IsBelow(env.Home, desktop)) return "";
    return IsFolder(desktop, env.Root) ? desktop : "";
}

LinuxFolders MapFolders(const std::string& installFolder, const InstallEnvironment& env) {
    const std::pair<const char*, const std::string*> homes[] = {
        {"XDG_DATA_HOME", &env.DataHome}, {"XDG_CONFIG_HOME", &env.ConfigHome}};
    for (const auto& [name, folder] : homes)
        if (IsBelow(env.Home, *folder))
            throw Refused(std::string(name) +
                              " is the root folder, $HOME or a folder above it; an installation "
                              "does not write there",
                          *folder);
    LinuxFolders folders;
    folders.Install = installFolder;
    folders.Lib = env.Root ? "/usr/local/lib" : env.Home + "/.local/lib";
    folders.Share = env.Root ? "/usr/local/share" : env.DataHome;
    folders.Menu = folders.Share + "/applications";
    folders.Commands = env.Root ? "/usr/local/bin" : env.Home + "/.local/bin";
    if (env.Root) folders.AllUsersMenu = "/usr/share/applications";
    folders.Desktop = DesktopFolder(env);
    return folders;
}

BaseFolders ScriptFolders(const LinuxFolders& folders) {
    BaseFolders base;
    base.Install = WithBackslashes(folders.Install);
    base.System = WithBackslashes(folders.Lib);
    base.Windows = WithBackslashes(folders.Share);
    base.Drives = false;
    return base;
}

std::string LinuxPath(const std::string& target) {
    std::string path = target;
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.empty() || path[0] != '/') throw InvalidRequest("is not an absolute path", path);
    std::string out;
    for (const std::string& part : PathParts(path)) {
        if (part == "..") throw InvalidRequest("holds a \"..\" part", path);
        if (part.size() > NAME_MAX || part.find('\0') != std::string::npos)
            throw InvalidRequest("a name in it is too long or holds a NUL", path);
        out += "/" + part;
    }
    if (out.empty()) throw InvalidRequest("names no file", path);
    if (out.size() >= PATH_MAX) throw InvalidRequest("is too long a path", path);
    return out;
}

bool IsBelow(const std::string& path, const std::string& folder) {
    if (folder == "/") return !path.empty() && path[0] == '/';
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

bool InMappedFolders(const LinuxFolders& f, const std::string& path, bool orAbove) {
    for (const std::string* folder :
         {&f.Install, &f.Lib, &f.Share, &f.Menu, &f.AllUsersMenu, &f.Desktop, &f.Commands}) {
        if (folder->empty()) continue;
        if (IsBelow(path, *folder) || (orAbove && IsBelow(*folder, path))) return true;
    }
    return false;
}
