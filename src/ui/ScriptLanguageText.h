// The text the Info menu's "Script language" shows: the kavelo-script(5)
// manual page as plain text when the program carries it, else the README's
// section on the script, else the explanations at the head of the template
// script, which every copy of the program has.
#pragma once

#include <QString>

// A manual page's roff source as plain text: headings on lines of their
// own, paragraphs separated by an empty line, font changes and requests
// dropped, escapes such as \- and \(em turned into their characters.
QString ManPageText(const QString& roff);

// The section of a Markdown text whose "#" heading contains word (any case),
// up to the next heading of the same or a higher level; empty when none.
QString MarkdownSection(const QString& markdown, const QString& word);

// The leading comment block of a script: its "//" lines up to the first line
// that is not one, the markers taken off.
QString ScriptComments(const QString& script);

// Where the text came from, and the text.
struct ScriptLanguageHelp {
    QString Source; // "kavelo-script(5)", "README" or "template script"
    QString Text;
};
// manPage and readme are the contents found (empty when not found).
ScriptLanguageHelp ChooseScriptLanguageHelp(const QString& manPage, const QString& readme,
                                            const QString& templateScript);
// The help from what the program carries.
ScriptLanguageHelp LoadScriptLanguageHelp();
