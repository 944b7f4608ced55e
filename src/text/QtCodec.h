#pragma once
// Model bytes (CP932) to and from Qt strings, for painting, dialogs,
// clipboard, settings and file names.

#include <QString>
#include <string>
#include <string_view>

QString ToQString(std::string_view cp932);
std::string FromQString(const QString& text);
