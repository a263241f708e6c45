#include "session/LockedAppendFile.h"

#include <utility>

namespace {

// The start of a file that is not ours, to say so.
std::string firstLineOf(const std::string& start)
{
    const std::string line = start.substr(0, start.find_first_of("\r\n"));
    return line.size() > 120 ? line.substr(0, 120) + "..." : line;
}

} // namespace

LockedAppendFile::LockedAppendFile(std::string path, std::string header)
    : path_(std::move(path)), header_(std::move(header))
{
}

bool LockedAppendFile::check(const std::string& notSameAs, std::string& error) const
{
    AppendHandle file;
    switch (file.open(path_, false, error)) {
    case AppendHandle::Opened::Missing: return AppendHandle::folderTakesNewFiles(path_, error);
    case AppendHandle::Opened::Failed: return false;
    case AppendHandle::Opened::Yes: break;
    }
    std::uint64_t size = 0;
    return file.lock(kLockWait, error) && fits(file, notSameAs, size, error);
}

bool LockedAppendFile::append(const std::string& text, const std::string& notSameAs, std::string& error) const
{
    AppendHandle file;
    if (file.open(path_, true, error) != AppendHandle::Opened::Yes)
        return false;
    std::uint64_t size = 0;
    if (!file.lock(kLockWait, error) || !fits(file, notSameAs, size, error))
        return false;
    if (file.write(size == 0 ? header_ + text : text, error))
        return true;
    // Whole or not at all: the next row must not be glued onto a torn one.
    file.truncate(size);
    return false;
}

// Under the lock: the file is still one that takes our rows.
bool LockedAppendFile::fits(AppendHandle& file, const std::string& notSameAs, std::uint64_t& size,
                            std::string& error) const
{
    if (!notSameAs.empty() && file.isSameFileAs(notSameAs)) {
        error = "it is the same file as " + notSameAs;
        return false;
    }
    if (!file.size(size, error))
        return false;
    if (size == 0)
        return true;
    const std::string start = file.readStart(header_.size());
    if (start == header_)
        return true;
    error = "it holds other columns (its first line is \"" + firstLineOf(start) + "\"); name a new file";
    return false;
}
