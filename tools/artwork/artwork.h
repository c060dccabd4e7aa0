// The reader's own artwork, painted from code: the main window's picture and the
// program icon at any size.
#pragma once

class QImage;

namespace velmora::artwork {

// 1000 × 768 pixels: a white page under a decorated band, about 70 pixels high,
// that frames the row of buttons at the top of the window.
QImage paintWindowPicture();

// The program icon, `size` pixels square, with a transparent surround.
QImage paintProgramIcon(int size);

} // namespace velmora::artwork
