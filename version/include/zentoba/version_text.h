// The program's version as its version dialog shows it. The version byte of
// every encoded file is made from this text (see VersionByteFromText), so the
// dialog's label and the files always agree.
#pragma once

namespace zentoba {
inline constexpr char kVersionText[] = "1.04";
}
