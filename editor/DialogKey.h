// The keys that the menus, message boxes and text entry the editor draws itself act on, whatever the
// window system calls them.
#pragma once

enum class DialogKey { kOther, kEnter, kEscape, kBackspace };
