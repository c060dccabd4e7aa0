// fetch() for the pages of the book. The web engine of this Qt refuses fetch() for a
// scheme of the program's own, while it serves XMLHttpRequest: a script put into every
// book page carries its fetch() requests for the installation's files over that. The
// scheme handler keeps them inside the installation as it keeps navigations.
#pragma once

class QWebEngineProfile;

namespace velmora::controls {

void addBookFetch(QWebEngineProfile &profile);

} // namespace velmora::controls
