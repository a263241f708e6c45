#pragma once

// A sysfs tree laid out like Linux's, in a temporary folder: devices with
// their attribute files, each tty in a "tty" folder below its device, linked
// from class/tty, and every link relative. POSIX only.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>

struct FakeSysfs
{
    ~FakeSysfs() { std::filesystem::remove_all(root); }

    // Attributes are "name=text".
    std::filesystem::path device(const std::filesystem::path& path, std::initializer_list<std::string> attributes = {}) const
    {
        std::filesystem::create_directories(root / path);
        for (const std::string& attribute : attributes)
            std::ofstream(root / path / attribute.substr(0, attribute.find('='))) << attribute.substr(attribute.find('=') + 1) << '\n';
        return path;
    }

    void link(const std::filesystem::path& from, const std::filesystem::path& to) const
    {
        std::filesystem::create_directories(root / from.parent_path());
        std::filesystem::create_directory_symlink(to.lexically_relative(from.parent_path()), root / from);
    }

    // The serial core gives its ttys a UART type (0: none there). Returns the
    // tty's own folder, which class/tty links to while the port is there.
    std::filesystem::path tty(const std::string& name, const std::filesystem::path& owner, const std::string& type = "") const
    {
        const std::filesystem::path tty = device(owner / "tty" / name, {"type=" + type});
        link(tty / "device", owner);
        link("class/tty/" + name, tty);
        return tty;
    }

    const std::filesystem::path root =
        mkdtemp((std::filesystem::temp_directory_path() / "fake-sysfs-XXXXXX").string().data());
};
