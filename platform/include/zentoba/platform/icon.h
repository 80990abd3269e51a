// The program's icon, drawn in code: a page of text with an arrow that turns
// it into something else.
#pragma once

#include <QIcon>
#include <QImage>

namespace zentoba::platform {

// The icon at `size` × `size` pixels, transparent around it.
QImage DrawIcon(int size);

// The window icon, with the sizes title bars and task bars ask for.
QIcon ProgramIcon();

}  // namespace zentoba::platform
