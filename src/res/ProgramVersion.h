// The program's version, kept in this one place, and the version line made
// from it ("KaveloMaker 1.00 [beta 2]") that the About window, the CLI and the
// setup runtime show.
#pragma once

#include <string>

struct ProgramVersion {
    int Major;
    int Minor;
    int Revision;
};

inline constexpr ProgramVersion kProgramVersion{1, 0, 2};

// "1.00": the major number, a full stop and the minor number in two digits.
std::string VersionText(const ProgramVersion& version = kProgramVersion);

// String 101 ("KaveloMaker $") with the version text for revision 0,
// otherwise string 102 ("KaveloMaker $ [beta %]") with the revision in "%".
std::string VersionLine(const ProgramVersion& version = kProgramVersion);
