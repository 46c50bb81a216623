// The one exception type of the program: a run-time error number with its message, as the
// encoder and the header reader raise them and the window or command line reports them.
#pragma once

#include <stdexcept>
#include <string>

namespace tav {

class RunTimeError : public std::runtime_error {
public:
    RunTimeError(int number, const std::string& message) : std::runtime_error(message), m_number(number) {}

    int number() const noexcept { return m_number; }

private:
    int m_number;
};

// Numbers and standard texts of the run-time errors the program raises.
inline constexpr int kErrOverflow = 6;
inline constexpr int kErrOutOfMemory = 7;
inline constexpr int kErrSubscriptOutOfRange = 9;
inline constexpr int kErrFileNotFound = 53;
inline constexpr int kErrPathFileAccess = 75;
inline constexpr int kErrBadFileFormat = 321;
inline constexpr int kErrInvalidPicture = 481;

inline constexpr const char* kMsgOverflow = "Overflow";
inline constexpr const char* kMsgOutOfMemory = "Out of memory";
inline constexpr const char* kMsgSubscriptOutOfRange = "Subscript out of range";
inline constexpr const char* kMsgFileNotFound = "File not found";
inline constexpr const char* kMsgPathFileAccess = "Path/File access error";
inline constexpr const char* kMsgBadFileFormat = "Invalid file format";
inline constexpr const char* kMsgInvalidPicture = "Invalid picture";

[[noreturn]] inline void raiseOverflow() { throw RunTimeError(kErrOverflow, kMsgOverflow); }
[[noreturn]] inline void raiseSubscriptOutOfRange() { throw RunTimeError(kErrSubscriptOutOfRange, kMsgSubscriptOutOfRange); }

}  // namespace tav
