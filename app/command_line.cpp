#include "app/command_line.h"

void ParseCommandLine(const QStringList& arguments, CCommandLineInfo& info) {
  bool options = true;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (options && argument == QStringLiteral("--")) {
      options = false;
    } else if (!options || !argument.startsWith(QLatin1Char('-'))) {
      info.m_strFileName = argument;
      return;
    }
  }
}
