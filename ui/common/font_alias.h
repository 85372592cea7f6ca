#pragma once

class QString;

// Points fontconfig at the program's own configuration, which maps the
// Windows Japanese UI faces ("ＭＳ Ｐゴシック", "MS PGothic", ...) to the IPA
// fonts. Must run before the QApplication is created, since fontconfig reads
// its configuration once. Looks for kuvandoro-fonts.conf in appDir (where a
// per-user install puts it beside the program), then in the package's data
// folder (share/kuvandoro beside the bin folder), then in the source tree; a FONTCONFIG_FILE
// that the user has set already is left alone. Returns the file now in use,
// or an empty text when none was set.
QString InstallFontAlias(const QString& appDir);

// The configuration's file name beside the program.
extern const char* const kFontAliasFileName;
