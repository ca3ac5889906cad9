#pragma once

// Replacing a file's content in one step: the new content is written to a
// temporary file beside the destination, which takes the destination's place
// only once it is complete, so that the destination is either the old file
// or the new one, never a part of either. One implementation per platform
// family.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace platform {

class FileReplacement
{
public:
    // A destination that is a link is followed: the file it names is replaced.
    explicit FileReplacement(std::filesystem::path destination);
    // Removes the temporary file unless commit() succeeded.
    ~FileReplacement();
    FileReplacement(const FileReplacement &) = delete;
    FileReplacement &operator=(const FileReplacement &) = delete;

    // Creates the temporary file in the destination's folder, readable by
    // nobody else while it is written when the destination exists.
    std::error_code open();
    // Writes all of `size` bytes; the system's error otherwise (ENOSPC: "No
    // space left on device").
    std::error_code write(const char *data, std::size_t size);
    // Makes the written bytes durable, gives the new file what the old one
    // had of its own (Unix: owner, group, permissions, access control list
    // and extended attributes; Windows: what ReplaceFile keeps: attributes,
    // access control list, alternate streams), as far as this process may
    // set them, and puts it in the destination's place. On failure the
    // destination is as it was and the temporary file is gone.
    std::error_code commit();
    // Removes the temporary file; the destination stays as it was.
    void discard();

    // After commit(): what of the old file could not be kept, in words
    // ("owner", "group", "extended attribute security.selinux", "its other
    // names (hard links)"); empty when everything was kept or there was no
    // old file.
    const std::vector<std::string> &notKept() const { return m_notKept; }
    // The file that is replaced (the destination with links followed).
    const std::filesystem::path &target() const { return m_target; }

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    std::intptr_t m_handle = -1;
    bool m_targetExists = false;
    std::vector<std::string> m_notKept;
};

} // namespace platform
