#pragma once

#include <QString>

#include <functional>

// Moving a file that other programs write to a name of one's own, in one step that never replaces
// anything: of two programs moving the same file only one gets it, and a file already at the new
// name is never lost.
namespace files {

enum class MoveResult {
    Moved,
    SourceGone,     // nothing at `from` (never there, or another program moved it first)
    TargetExists,   // something is at `to` already: left as it was
    Failed          // the system refused (permissions, a file system that cannot)
};

// Moves `from` to `to` (same folder or at least the same file system). Where the system cannot
// refuse to replace in the rename itself, a second name is made and the first removed, and the
// move counts only for the program whose removal of the first name succeeded.
MoveResult moveWithoutReplacing(const QString &from, const QString &to);

// The second way on its own: a second name made without replacing, then the first removed.
MoveResult moveByLinking(const QString &from, const QString &to);
// The same, running `between` after the second name is made, where another program may act:
// tests race it there.
MoveResult moveByLinkingThrough(const QString &from, const QString &to, const std::function<void()> &between);

} // namespace files
