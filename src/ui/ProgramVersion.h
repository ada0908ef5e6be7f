// The program's version, kept in this one place, and the version line of the
// About window made from it.
#pragma once

#include <QString>

struct ProgramVersion {
    int Major;
    int Minor;
    int Revision;
};

// KaveloMaker 1.00 [beta 2].
inline constexpr ProgramVersion kProgramVersion{1, 0, 2};

// "1.00": the major number, a full stop and the minor number in two digits.
QString VersionText(const ProgramVersion& version);

// String 101 ("KaveloMaker $") with the version text for revision 0,
// otherwise string 102 ("KaveloMaker $ [beta %]") with the revision in "%".
QString VersionLine(const ProgramVersion& version = kProgramVersion);
