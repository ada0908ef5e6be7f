// The list of recently used setups, most recent first, kept in the user's
// settings (organisation "Tavrin", application "KaveloMaker") as the values
// "01" to "32". The startup dialog reads it when it loads and moves the
// opened project to the top before it shows the main window.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class RecentProjects {
  public:
    static constexpr size_t kMaxEntries = 32;
    // A longer value is taken for damage: the list ends before it.
    static constexpr size_t kMaxPathBytes = 4096;

    // Reads the list: values "01", "02", ... up to the first missing or empty
    // one. A settings file that cannot be read or is damaged gives an empty
    // list.
    void Read();

    const std::vector<std::string>& Entries() const { return entries_; }

    // Puts projectPath at the top: nothing at all when it is already the
    // first entry exactly; an entry equal but for ASCII letter case moves to
    // the top with the new spelling; otherwise it is inserted and the 33rd
    // entry drops off. Then writes the whole list and deletes the values
    // after it. Returns true when the settings were written; an unreadable
    // settings file or folder leaves them as they were.
    bool UpdateRecentList(const std::string& projectPath);

  private:
    bool MoveToTop(const std::string& projectPath);
    bool Write() const;

    std::vector<std::string> entries_;
};
