#pragma once

#include "session/AppendHandle.h"

#include <chrono>
#include <string>

// A file that several processes append rows to at once, such as the record
// of runs that the stations of a line share. Every file has the same first
// line, its header. Each append holds an exclusive lock on the whole file
// from the look at its size and header to the last byte written, so rows
// never interleave and the header goes only into an empty file. A row is
// written whole or not at all: a write that fails (a full disk) is cut back
// to the file's length before it. The file is created by the first append,
// never before. No Qt here, so that the Windows build compiles it without a
// Windows Qt.
//
// Any thread; an instance holds nothing open between calls, so a file moved
// away meanwhile is simply made anew.
class LockedAppendFile
{
public:
    // How long an append waits while another program holds the file locked.
    static constexpr std::chrono::milliseconds kLockWait{5000};

    // path in UTF-8; header is the whole first line, line break included.
    LockedAppendFile(std::string path, std::string header);

    // Whether rows may go to the file: an existing one must be a regular file
    // that starts with the header (or is empty) and is not the file at
    // notSameAs (an empty notSameAs names none); a missing one needs a folder
    // that takes new files. Creates nothing. error says why not.
    bool check(const std::string& notSameAs, std::string& error) const;

    // Appends text, after the header when the file is empty, under the same
    // conditions. Returns whether all of it was written; error says why not.
    bool append(const std::string& text, const std::string& notSameAs, std::string& error) const;

    const std::string& path() const { return path_; }

private:
    bool fits(AppendHandle& file, const std::string& notSameAs, std::uint64_t& size, std::string& error) const;

    std::string path_;
    std::string header_;
};
