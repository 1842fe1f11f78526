#pragma once
// A file written under a temporary name beside its target and renamed over
// the target only when complete, so a failed or cancelled write leaves no
// partial file and an existing target is replaced only by a finished one.

#include <string>

namespace tkrmovie {

class TMTemporaryFile {
public:
    // Creates the temporary file beside the target (UTF-8 path). On failure
    // Error() tells why (an errno value).
    explicit TMTemporaryFile(const std::string& target);
    // Removes the temporary file unless it was committed.
    ~TMTemporaryFile();
    TMTemporaryFile(const TMTemporaryFile&) = delete;
    TMTemporaryFile& operator=(const TMTemporaryFile&) = delete;

    bool Created() const { return !m_Temporary.empty(); }
    int Error() const { return m_Error; }
    const std::string& Path() const { return m_Temporary; }
    // The open descriptor, which Commit or the destructor closes; -1 once
    // Close was called.
    int Descriptor() const { return m_Descriptor; }
    // Closes the descriptor (a writer that opens the path itself calls it).
    bool Close();
    // Closes and renames over the target; false (with Error) when either fails.
    bool Commit();

private:
    std::string m_Target;
    std::string m_Temporary;
    int m_Descriptor = -1;
    int m_Error = 0;
    bool m_bCommitted = false;
};

// Writes all bytes, retrying interrupted and short writes.
bool WriteAll(int descriptor, const void* data, size_t size);

} // namespace tkrmovie
