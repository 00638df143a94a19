// Errors keep their meaning across systems: a Windows code is never read as an errno value.

#include <gtest/gtest.h>

#include <cerrno>

#include "launch/launch_system.h"

using namespace tessaly;

TEST(ErrorKinds, EachSystemsCodesKeepTheirMeaning)
{
    const struct {
        bool windows;
        int code;
        ErrorKind kind;
        std::int32_t launchCode;
    } cases[] = {
        {true, 5, ErrorKind::AccessDenied, LaunchAccessDenied},  // errno 5 is EIO
        {true, 32, ErrorKind::AccessDenied, LaunchAccessDenied},
        {true, 2, ErrorKind::NotFound, LaunchFileNotFound},
        {true, 3, ErrorKind::NotFound, LaunchFileNotFound},
        {true, 123, ErrorKind::NotFound, LaunchFileNotFound},
        {true, 13, ErrorKind::Other, LaunchFileNotFound},  // ERROR_INVALID_DATA, errno's EACCES
        {false, EACCES, ErrorKind::AccessDenied, LaunchAccessDenied},
        {false, EPERM, ErrorKind::AccessDenied, LaunchAccessDenied},
        {false, ENOENT, ErrorKind::NotFound, LaunchFileNotFound},
        {false, EIO, ErrorKind::Other, LaunchFileNotFound},
    };
    for (const auto& c : cases) {
        const SysError error = c.windows ? SysError{c.code, "", ErrorKindOfWindowsError(std::uint32_t(c.code))}
                                         : SysError{c.code, ""};
        EXPECT_EQ(error.kind, c.kind) << (c.windows ? "Windows " : "errno ") << c.code;
        EXPECT_EQ(LaunchCodeForError(error), c.launchCode) << (c.windows ? "Windows " : "errno ") << c.code;
    }
}
