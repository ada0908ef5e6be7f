// The installation folder and the missing folders above it appear and go in
// one rename, with the journal inside: they are made under a private name
// (".kavelo-chain-…") in the deepest folder that exists, the journal's first
// lines written and synced in the installation folder, and then renamed into
// place. A kill leaves either the whole chain with its journal, which the
// next start undoes, or a private folder the next start removes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "install/Places.h"
#include "install/SafeWrite.h"

class FolderChain {
  public:
    // Opens the installation folder where (below one of roots, shown as
    // shown); when it is missing, makes it with the missing folders above it
    // under a private name, out of sight until Publish.
    void Build(const RootTable& roots, const Place& where, const std::string& shown);
    // The installation folder, open (inside the chain while it is private).
    FolderHandle TakeFolder() { return std::move(folder_); }
    // The folders made, outermost first, as they are named once in place.
    const std::vector<Place>& Made() const { return made_; }
    // Puts the chain in place, never over a folder that appeared meanwhile.
    void Publish();
    // Removes a chain not yet in place, the journal in it first; what could
    // not be removed (the next start removes it).
    std::vector<std::string> Discard();

  private:
    FolderHandle base_;             // the deepest folder that existed
    std::string baseShown_;         // its path
    std::string temp_;              // the chain's private name in it; empty when none
    std::string first_;             // the name the chain gets there
    std::vector<std::string> rest_; // the chain's folders below the first
    std::vector<Place> made_;
    FolderHandle folder_;
};

// Removes the journal in journalFolder and chain, the folders made from it
// up: out of sight first (renamed to a private name in their parent) when
// they hold nothing but each other and the journal, so that a kill or a
// failure after the journal went leaves a private folder that the next start
// removes. Folders that hold other files stay (added to kept). False, and
// nothing done, unless chain is every folder from the outermost down to
// journalFolder. Throws IoError when a folder cannot be removed.
bool RemoveChainWithJournal(const RootTable& roots, const std::vector<Place>& chain,
                            const Place& journalFolder, const std::function<void()>& removeJournal,
                            std::vector<std::string>& kept);

// Removes the private chains that an interrupted installation left in the
// locked folder anchor (shown as shown): folders of this user's, each
// holding nothing but the next and, last, a journal. Anything else there is
// left alone. The number removed; throws IoError when one cannot be removed.
int RemoveUnfinishedChains(const FolderHandle& anchor, const std::string& shown);
