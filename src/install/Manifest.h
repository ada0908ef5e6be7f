// The manifest a completed installation leaves in its folder
// (".kavelo-manifest"): every file and launcher it wrote with size, SHA-256
// and the version the script gave, and the folders it made. Uninstalling
// reads it to remove what is unchanged; the next installation into the same
// folder reads it as the versions recorded so far and as the files an
// upgrade may remove.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "install/Places.h"

inline constexpr std::string_view kManifestName = ".kavelo-manifest";
inline constexpr std::string_view kUninstallName = "uninstall";

struct ManifestFile {
    Place Where;
    uint64_t Size = 0;
    std::string Sha256;
    std::string Version;   // empty when the script gave none
    bool Launcher = false; // a .desktop file made for a shortcut
};

struct Manifest {
    std::string Caption;   // the setup's caption
    std::string Installed; // when, as UTC "YYYY-MM-DD HH:MM:SS"
    RootTable Roots;
    std::vector<ManifestFile> Files;
    std::vector<Place> Folders; // made by the installation, in the order made

    const ManifestFile* Find(const Place& where) const;
};

std::string ManifestText(const Manifest& manifest);

// The manifest in text (read from path); throws DamagedInput naming path
// when the text is none. Lines of an unknown kind are skipped.
Manifest ReadManifest(std::string_view text, const std::string& path);

// Compares two versions part by part at ".": the number each part begins with
// first, then the rest of it as text; a missing part counts as 0, so "1.0"
// equals "1". Negative, zero or positive.
int CompareVersions(const std::string& a, const std::string& b);

// The current time as UTC "YYYY-MM-DD HH:MM:SS".
std::string UtcNow();
