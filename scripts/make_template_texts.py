#!/usr/bin/env python3
"""Writes the text files of the new-project template into src/res/templates:
SETUP.TXT (the seven setup lines), STRINGS.TXT (the numbered texts) and
SCRIPT.TXT (the sample script with its guide to both script languages).

All three use CR LF line breaks. Run it again after editing the texts below;
it refuses to write a script whose size or line count differs from what the
program's tests expect.

    python3 scripts/make_template_texts.py
"""
import os
import sys

CRLF = "\r\n"

SETUP_LINES = [
    "My Application setup",
    "This will install My Application||    ...",
    "",
    "My Company\\My Application",
    "My Company\\My Application",
    "My Application installed successfully||    ...",
    "Launch My Application now",
]

STRINGS_LINES = [
    "Components to install:",
    "My Application",
    "",
    "Start My Application",
]

# Every line that is not a comment or empty is acted on by one of the two
# script languages; keep them exactly as they are. All other lines begin with
# "//" so that neither language reads anything in them.
SCRIPT_LINES = [
    "// =================================================",
    "// KaveloMaker setup script",
    "// =================================================",
    "",
    "// This text holds two scripts: the component script",
    "// builds the page where the user picks what to install,",
    "// the install script says which files go where for each",
    "// choice. Letter case does not matter. A comment runs",
    "// from // to the end of its line.",
    "//",
    "// Texts are numbered: text n is line n of the strings",
    "// list beside this script; the script refers to texts",
    "// by number only.",
    "// Try it in the test window: its Install",
    "// button shows in the debugger what the setup would",
    "// check, delete, copy and link.",
    "",
    "// -------------------------------------------------",
    "// The component section [Create]",
    "// -------------------------------------------------",
    "// One entry per line: a keyword, a blank, then numbers",
    "// split by commas. Each blank before the keyword indents",
    "// the entry by 8 pixels. Entries go from top to bottom,",
    "// one text line apart. An entry shows the current text,",
    "// then the next text becomes current.",
    "//",
    "//  label N    a text; N=1 makes it bold",
    "//  check N    a checkbox; N=1 bold, N=2 checked at",
    "//             start, N=3 both",
    "//  option N   like check, but only events can untick",
    "//             it, the user cannot",
    "//  combo N,D  a drop-down list of N items (1 to 16)",
    "//             showing N texts in a row, item D",
    "//             chosen at start",
    "//  break N    leave N half lines free; break alone",
    "//             leaves one whole line",
    "//  lpos N     put the next entry at half line N",
    "//  strjump N  the next entry shows text N",
    "//",
    "// Checks, options and combos get the IDs 1, 2, 3 ... in",
    "// the order of their lines; labels get none. The test",
    "// window shows each ID in brackets after its text.",
    "",
    "[Create]",
    "// Icon myapp.v6p  // Display an icon (not yet working)",
    "Label 1            // Display a text next to the icon",
    "  Check 2          // Display a checkbox, which is checked",
    "",
    "// -------------------------------------------------",
    "// Events [Event_ID_VALUE]",
    "// -------------------------------------------------",
    "// The lines below such a header run when element ID",
    "// takes VALUE: a check 1 when ticked and 0 when",
    "// unticked, an option 1 when picked, a combo the number",
    "// of the chosen item (1, 2 ...). A header without",
    "// _VALUE stands for value 1. The commands:",
    "//",
    "//  Add 2,3    tick elements 2 and 3",
    "//  Rem 2,3    untick elements 2 and 3",
    "//  Clear 2,3  tick 2 and 3, untick all other checks",
    "//             and options",
    "//  Fill 2,3   untick 2 and 3, tick all other checks",
    "//             and options",
    "//",
    "// Split IDs by commas, without blanks. Combos are never",
    "// changed by commands, and commands raise no events.",
    "",
    "[Event_1_0]  // user unchecks our checkbox",
    "Add 1        // We re-check it",
    "",
    "// -------------------------------------------------",
    "// The install section [Install]",
    "// -------------------------------------------------",
    "// A line in braces is a guard: the commands after it run",
    "// only while it is true. val(n) is the value of element",
    "// n. Compare with = <> < > <= >= and join with not, and,",
    "// or, xor and eqv; brackets group. For example:",
    "//   {val(1)=1 and not val(2)=1}",
    "// Commands before the first guard always run; a guard",
    "// that cannot be read is false.",
    "//",
    "// A command is a keyword, a blank and up to eight fields",
    "// split by commas:",
    "//  file,folder,sub,target,shortcut,,version,params",
    "//",
    "//  file      a file of the project, as listed in the",
    "//            file manager",
    "//  folder    1 the installation folder, 2 the system",
    "//            folder, 3 the Windows folder, 99: sub",
    "//            holds the whole folder (D:\\Apps)",
    "//  sub       a subfolder; ..\\ goes up one level",
    "//  target    the file name on the target disk; when",
    "//            empty, the name given in file",
    "//  shortcut  flags, a blank and a text number:",
    "//            S startmenu, D desktop, Q quick launch;",
    "//            A is kept for the setup and shows nothing",
    "//            in the debugger. Text n names the links.",
    "//  version   compared with the installed file",
    "//  params    command line for shortcuts",
    "//",
    "//  Check ,folder,sub,target,,,version",
    "//        stop if the installed file is older",
    "//  Del ,folder,sub,target,shortcut",
    "//        delete a file and its shortcuts",
    "//  Copy file,folder,sub,target,shortcut,,version,params",
    "//        install a file of the project",
    "//  Link file,folder,sub,target,shortcut,,,params",
    "//        make shortcuts only, to a file that another",
    "//        line installs",
    "",
    "[Install]",
    "{1} // Always",
    "Check ,1,,MyApp.exe,,,1.0",
    "Del ,1,,MyApp.log         // Delete old logfile",
    "Copy MyApp.exe,1,,MyApp.exe,ADQS 4",
    "",
    "// Add your own files in the file manager and copy them",
    "// here, for example:",
    "//   Copy readme.txt,1,,readme.txt",
    "// Each shortcut name needs a line in the strings list.",
    "",
    "// End of script",
]

SCRIPT_BYTES = 4886
SCRIPT_LINE_COUNT = 122


def encode(lines, trailing_break):
    text = CRLF.join(lines)
    if trailing_break:
        text += CRLF
    return text.encode("ascii")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = os.path.join(here, "..", "src", "res", "templates")
    script = encode(SCRIPT_LINES, True)
    if len(SCRIPT_LINES) != SCRIPT_LINE_COUNT or len(script) != SCRIPT_BYTES:
        sys.exit("SCRIPT.TXT would have %d lines and %d bytes; expected %d and %d"
                 % (len(SCRIPT_LINES), len(script), SCRIPT_LINE_COUNT, SCRIPT_BYTES))
    files = {
        "SETUP.TXT": encode(SETUP_LINES, False),
        "STRINGS.TXT": encode(STRINGS_LINES, True),
        "SCRIPT.TXT": script,
    }
    for name, data in files.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
        print("%s: %d bytes" % (name, len(data)))


if __name__ == "__main__":
    main()
