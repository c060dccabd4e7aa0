// Chooses the system font for text whose font a movie names but does not embed: the
// player's generic names (_sans, _serif, _typewriter) and the Windows faces of the
// movies' time, Chinese, Japanese and Korean ones included, each mapped on purpose to a
// face installed with the reader (Liberation, Noto CJK), so that the text looks the same
// on every machine.
#pragma once

#include <QFont>
#include <QString>

#include <string>

namespace velmora::swf {

// A font name as a movie stores it: UTF-8, or before version 6 in the author's code page
// (GBK, Big5, Shift-JIS, EUC-KR), whichever of them names a face we know.
QString decodeFontName(const std::string &stored);

// The font that draws the named face, with the families to fall back on for characters
// it lacks, drawn without anti-aliasing; `pixelSize` is the em height in the text's own units.
QFont deviceFont(const QString &name, bool bold, bool italic, int pixelSize);

} // namespace velmora::swf
