#pragma once
// The program's command line: the first argument that is not an option
// names the archive to open.  Options start with "-" and are otherwise
// ignored; "--" ends them.  A leading "/" is a path here, not an option.
#include <QString>
#include <QStringList>

struct CCommandLineInfo {
  QString m_strFileName;  // empty when no archive was named
};

// `arguments` as the program got them, the program's own name first.
void ParseCommandLine(const QStringList& arguments, CCommandLineInfo& info);
