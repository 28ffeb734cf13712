#pragma once
// Which package entry names may be written below the work directory. Shared
// by extraction, which skips unsafe names, and by the packer, which refuses
// to produce them, so both sides agree on the same bytes.

#include <string_view>

namespace tenvik {

// True when name (UTF-8 bytes as stored in the archive, "/" or "\" between
// components) is a relative path that stays inside the directory it is
// joined to. False for: the empty name; a leading separator (rooted, UNC or
// device paths); a colon anywhere (drive letters, alternate data streams);
// the other characters Windows does not allow in a file name (" < > | ? *)
// and control characters 0x01 to 0x1F; an
// empty component, including a trailing separator; a component made only of
// dots and blanks, which Windows treats as "." or ".."; a zero byte; and a
// component whose stem is a DOS device name such as CON or COM1, which
// Windows opens as the device rather than as a file in the directory.
bool isSafeEntryName(std::string_view name);

}  // namespace tenvik
