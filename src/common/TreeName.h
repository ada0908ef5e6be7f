// How a project file's name marks it as a tree (a folder added whole), and
// how the install script names a tree or a file inside one: "app.tree", or
// "app.tree/bin/app". Shared by the package layer, which stores trees, and
// the script layer, which works out where a tree's files go.
#pragma once

#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view kTreeSuffix = ".tree";

// Whether a project file's name (lower case) marks it as a tree.
bool IsTreeName(std::string_view projectName);

// A script's reference to a tree: the tree's name (lower case) and the path
// of a file inside it ("" for the whole tree, parts split by "/").
struct TreeReference {
    std::string Tree;
    std::string Inside;
};

// The reference in a command's file field (any case), or nullopt when the
// field names no tree: the name up to the first ".tree" that ends the field
// or is followed by "/".
std::optional<TreeReference> ReadTreeReference(std::string_view fileName);
