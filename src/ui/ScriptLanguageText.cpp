// Plain text from a manual page, a README section or the template's comments.
#include "ui/ScriptLanguageText.h"

#include "res/BuiltInFiles.h"
#include "ui/TextConvert.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

namespace {

// Inline escapes and font changes of a roff line.
QString Unescape(QString line) {
    static const QRegularExpression font(QStringLiteral(R"(\\f(\[[^\]]*\]|\(..|.))"));
    line.remove(font);
    line.replace(QStringLiteral("\\(em"), QStringLiteral("\u2014"));
    line.replace(QStringLiteral("\\(en"), QStringLiteral("\u2013"));
    line.replace(QStringLiteral("\\(bu"), QStringLiteral("\u2022"));
    line.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    line.replace(QStringLiteral("\\&"), QString());
    line.replace(QStringLiteral("\\e"), QStringLiteral("\\"));
    line.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    return line;
}

// The arguments of a request, quoted ones kept whole, joined by blanks;
// .BR, .IR and the like join theirs without.
QString RequestText(const QString& request, const QString& rest) {
    static const QRegularExpression words(QStringLiteral(R"re("([^"]*)"|(\S+))re"));
    QStringList parts;
    for (auto it = words.globalMatch(rest); it.hasNext();) {
        const auto match = it.next();
        parts << (match.captured(1).isNull() ? match.captured(2) : match.captured(1));
    }
    static const QStringList alternating = {QStringLiteral("BR"), QStringLiteral("IR"),
                                            QStringLiteral("BI"), QStringLiteral("RB"),
                                            QStringLiteral("RI"), QStringLiteral("IB")};
    if (request == QStringLiteral("IP") && !parts.isEmpty()) parts = parts.mid(0, 1); // the tag
    return Unescape(parts.join(alternating.contains(request) ? QString() : QStringLiteral(" ")));
}

} // namespace

QString ManPageText(const QString& roff) {
    QStringList out;
    bool literal = false;
    bool indentNext = false;
    const auto paragraph = [&out] {
        if (!out.isEmpty() && !out.last().isEmpty()) out << QString();
    };
    for (const QString& raw : roff.split(u'\n')) {
        if (raw.startsWith(QStringLiteral(".\\\"")) || raw.startsWith(QStringLiteral("'\\\"")))
            continue; // a comment
        if (!raw.startsWith(u'.')) {
            const QString text = Unescape(raw);
            out << (indentNext || literal ? QStringLiteral("    ") + text : text);
            indentNext = false;
            continue;
        }
        const QString request = raw.mid(1).section(u' ', 0, 0);
        const QString rest = raw.mid(1 + request.size()).trimmed();
        if (request == QStringLiteral("SH") || request == QStringLiteral("SS")) {
            paragraph();
            out << RequestText(request, rest).toUpper() << QString();
        } else if (request == QStringLiteral("PP") || request == QStringLiteral("LP") ||
                   request == QStringLiteral("P") || request == QStringLiteral("sp")) {
            paragraph();
        } else if (request == QStringLiteral("TP") || request == QStringLiteral("IP")) {
            paragraph();
            if (request == QStringLiteral("IP") && !rest.isEmpty())
                out << RequestText(request, rest);
            indentNext = request == QStringLiteral("IP");
        } else if (request == QStringLiteral("nf") || request == QStringLiteral("EX")) {
            literal = true;
        } else if (request == QStringLiteral("fi") || request == QStringLiteral("EE")) {
            literal = false;
        } else if (request == QStringLiteral("B") || request == QStringLiteral("I") ||
                   request == QStringLiteral("BR") || request == QStringLiteral("IR") ||
                   request == QStringLiteral("BI") || request == QStringLiteral("RB") ||
                   request == QStringLiteral("RI") || request == QStringLiteral("IB")) {
            out << (indentNext ? QStringLiteral("    ") : QString()) + RequestText(request, rest);
            indentNext = false;
        } else if (request == QStringLiteral("TH")) {
            out << RequestText(request, rest).section(u' ', 0, 1) << QString();
        }
        // Other requests (.RS, .RE, .in, .ad, ...) only place text.
    }
    while (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out.join(u'\n');
}

QString MarkdownSection(const QString& markdown, const QString& word) {
    const QStringList lines = markdown.split(u'\n');
    int level = 0;
    QStringList section;
    for (const QString& line : lines) {
        const int hashes =
            static_cast<int>(line.indexOf(QRegularExpression(QStringLiteral("[^#]"))));
        const bool heading = hashes > 0 && line.at(hashes) == u' ';
        if (level > 0 && heading && hashes <= level) break;
        if (level == 0 && heading && line.contains(word, Qt::CaseInsensitive)) level = hashes;
        if (level > 0) section << line;
    }
    return section.join(u'\n').trimmed();
}

QString ScriptComments(const QString& script) {
    QStringList out;
    for (QString line : script.split(u'\n')) {
        line.remove(u'\r');
        if (!line.trimmed().startsWith(QStringLiteral("//"))) {
            if (out.isEmpty() && line.trimmed().isEmpty()) continue;
            break;
        }
        line = line.trimmed().mid(2);
        if (line.startsWith(u' ')) line.remove(0, 1);
        out << line;
    }
    return out.join(u'\n');
}

ScriptLanguageHelp ChooseScriptLanguageHelp(const QString& manPage, const QString& readme,
                                            const QString& templateScript) {
    if (!manPage.trimmed().isEmpty())
        return {QStringLiteral("kavelo-script(5)"), ManPageText(manPage)};
    const QString section = MarkdownSection(readme, QStringLiteral("script"));
    if (!section.isEmpty()) return {QStringLiteral("README"), section};
    return {QStringLiteral("template script"), ScriptComments(templateScript)};
}

ScriptLanguageHelp LoadScriptLanguageHelp() {
    const auto read = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    return ChooseScriptLanguageHelp(read(QStringLiteral(":/kavelo/docs/kavelo-script.5")),
                                    read(QStringLiteral(":/kavelo/docs/README.md")),
                                    BytesToText(LoadResFile("script.txt")));
}
