// Info > Script language: a manual page made plain text, the README's
// section, the template's comments, and which of them is shown.
#include "ui/ScriptLanguageText.h"

#include <gtest/gtest.h>

namespace {

TEST(ScriptLanguageText, ManPageBecomesPlainText) {
    const struct {
        const char* roff;
        const char* text;
    } cases[] = {
        {".TH KAVELO-SCRIPT 5 2026 x\n.SH NAME\nkavelo-script \\- the language",
         "KAVELO-SCRIPT 5\n\nNAME\n\nkavelo-script - the language"},
        {".\\\" a comment\nOne\n.PP\nTwo", "One\n\nTwo"},
        {".B Copy\nfile, \\fIfolder\\fR and \\fBsub\\fP", "Copy\nfile, folder and sub"},
        {".BR val( N )\n.IR a ,\nb \\(em c", "val(N)\na,\nb \u2014 c"},
        {".SS \"Guard lines\"\n.TP\n.B {val(1)=1}\nruns while ticked",
         "GUARD LINES\n\n{val(1)=1}\nruns while ticked"},
        {".IP \\(bu 2\nfirst\n.nf\nCopy a,1\n.fi\nend", "\u2022\n    first\n    Copy a,1\nend"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ManPageText(QString::fromUtf8(c.roff)), QString::fromUtf8(c.text)) << c.roff;
}

TEST(ScriptLanguageText, MarkdownSectionEndsAtTheNextHeadingOfItsLevel) {
    const QString readme = QStringLiteral("# Top\nintro\n## The Script language\nguards\n"
                                          "### Guards\nval(n)\n## Layout\nfolders\n");
    EXPECT_EQ(MarkdownSection(readme, QStringLiteral("script")),
              QStringLiteral("## The Script language\nguards\n### Guards\nval(n)"));
    EXPECT_EQ(MarkdownSection(readme, QStringLiteral("missing")), QString());
    EXPECT_EQ(MarkdownSection(QStringLiteral("#hashtag script\ntext"), QStringLiteral("script")),
              QString()); // no blank after the hashes: no heading
}

TEST(ScriptLanguageText, TheManPageFirstThenTheReadmeThenTheTemplate) {
    const QString script =
        QStringLiteral("\r\n// Two scripts\r\n//   indented\r\n\r\n[Create]\r\n");
    const QString readme = QStringLiteral("# X\n## Script\nfrom the readme\n");
    const struct {
        QString man, readme;
        const char* source;
        QString text;
    } cases[] = {
        {QStringLiteral(".SH NAME\nx"), readme, "kavelo-script(5)", QStringLiteral("NAME\n\nx")},
        {QString(), readme, "README", QStringLiteral("## Script\nfrom the readme")},
        {QStringLiteral("  \n"), QStringLiteral("# X\n"), "template script",
         QStringLiteral("Two scripts\n  indented")},
    };
    for (const auto& c : cases) {
        const ScriptLanguageHelp help = ChooseScriptLanguageHelp(c.man, c.readme, script);
        EXPECT_EQ(help.Source, QString::fromUtf8(c.source));
        EXPECT_EQ(help.Text, c.text) << c.source;
    }
    // What the program carries gives a text, whichever it is.
    EXPECT_FALSE(LoadScriptLanguageHelp().Text.trimmed().isEmpty());
}

} // namespace
