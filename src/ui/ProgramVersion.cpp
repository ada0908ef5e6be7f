// The version line of the About window.
#include "ui/ProgramVersion.h"

#include "ui/Captions.h"

QString VersionText(const ProgramVersion& version) {
    return QStringLiteral("%1.%2").arg(version.Major).arg(version.Minor, 2, 10, QLatin1Char('0'));
}

QString VersionLine(const ProgramVersion& version) {
    QString line = ResText(version.Revision == 0 ? 101 : 102);
    line.replace(u'$', VersionText(version));
    if (version.Revision != 0) line.replace(u'%', QString::number(version.Revision));
    return line;
}
