#include "project/ProjectTrees.h"

#include "package/StoredTree.h"
#include "project/ProjectFileBytes.h"

TreeSummary ReadProjectTreeSummary(const StoredIn& source, const ProjectFile& file) {
    ProjectFileBytes bytes(source, file);
    return ReadTreeSummary(bytes.Stored());
}

TreeSummary ReadProjectTree(const StoredIn& source, const ProjectFile& file,
                            TreeReader::Events& events) {
    ProjectFileBytes bytes(source, file);
    const TreeSummary summary = ReadStoredTree(bytes.Stored(), events);
    bytes.CheckDigest();
    return summary;
}

Tree ReadProjectTreeNames(const StoredIn& source, const ProjectFile& file) {
    Tree tree;
    TreeNameList names(tree);
    tree.RootName = ReadProjectTree(source, file, names).RootName;
    return tree;
}
