// The acting lines of the new-project template script, among comment and
// empty lines as in the template, and its numbered texts.
#pragma once

#include <string>

namespace script_test {

inline const std::string kTemplateScript =
    "// Component script: what the end user may choose\r\n"
    "//   Label n, Check n, Option n, Combo n,d ... see the manual\r\n"
    "\r\n"
    "[Create]\r\n"
    "// Icon myapp.v6p  // Display an icon (not yet working)\r\n"
    "Label 1            // Display a text next to the icon\r\n"
    "  Check 2          // Display a checkbox, which is checked\r\n"
    "\r\n"
    "// Events: Add, Clear, Fill and Rem tick and untick elements\r\n"
    "[Event_1_0]  // user unchecks our checkbox\r\n"
    "Add 1        // We re-check it\r\n"
    "\r\n"
    "// Install script: Check, Copy, Del and Link\r\n"
    "[Install]\r\n"
    "{1} // Always\r\n"
    "Check ,1,,MyApp.exe,,,1.0\r\n"
    "Del ,1,,MyApp.log         // Delete old logfile\r\n"
    "Copy MyApp.exe,1,,MyApp.exe,ADQS 4\r\n"
    "// end of the sample\r\n";

inline const std::string kTemplateStrings =
    "Components to install:\r\nMy Application\r\n\r\nStart My Application\r\n";

} // namespace script_test
